// Round trips per second of TKInvoke -> reply -> callback through WebKitGTK:
// a page in a real web view with the helper's extension, and a browser side
// that answers each request the moment it arrives, as the Duktape benchmark
// does over its pipe.
//
//   quorrel_webkit_bench [round trips, default 5000] [window, default 16]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "page_channel.h"

namespace {

using Clock = std::chrono::steady_clock;

const char kPage[] =
    "<!doctype html><script>"
    "var done = 0, sent = 0, total = 0;"
    "function next() { if (sent >= total) return; sent++;"
    "  TKInvoke({name: 'echo', args: [sent, 'payload'], onSuccess: function (t) {"
    "    if (++done === total) TKCall('finished', done); else next(); }}); }"
    "function start(n, window) { total = n; done = 0; sent = 0;"
    "  for (var w = 0; w < window; w++) next(); }"
    "</script>";

struct Bench {
  WebKitWebView* view = nullptr;
  std::unique_ptr<quorrel_shell::PageChannel> channel;
  bool loaded = false;
  bool finished = false;
};

void answer(Bench& bench, const std::string& name, CefRefPtr<CefListValue> arguments) {
  if (name != "TKInvoke" || arguments->GetType(1) != VTYPE_LIST) return;
  if (arguments->GetList(1)->GetString(0).ToString() == "finished") {
    bench.finished = true;
    return;
  }
  CefRefPtr<CefListValue> reply = CefListValue::Create();
  reply->SetInt(0, arguments->GetInt(0));
  reply->SetInt(1, 0);
  reply->SetString(2, "ok");
  bench.channel->Send("TKInvoke", reply);
}

// Runs the main loop, sleeping between events as a browser does, until
// `done` or the deadline; false on the deadline.
template <class Done>
bool runUntil(Done done, int seconds) {
  bool late = false;
  const guint timer = g_timeout_add_seconds(
      static_cast<guint>(seconds),
      [](gpointer flag) -> gboolean {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &late);
  while (!done() && !late) g_main_context_iteration(nullptr, TRUE);
  if (!late) g_source_remove(timer);
  return done();
}

double rate(Bench& bench, int total, int window) {
  bench.finished = false;
  const std::string script = "start(" + std::to_string(total) + ", " + std::to_string(window) + ")";
  const auto start = Clock::now();
  webkit_web_view_evaluate_javascript(bench.view, script.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
                                      nullptr);
  if (!runUntil([&] { return bench.finished; }, 600)) {
    std::fprintf(stderr, "the page did not finish %d round trips\n", total);
    std::exit(1);
  }
  return total / std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int total = argc > 1 ? std::atoi(argv[1]) : 5000;
  const int window = argc > 2 ? std::atoi(argv[2]) : 16;
  if (total <= 0 || window <= 0) {
    std::fprintf(stderr, "usage: %s [round trips > 0] [window > 0]\n", argv[0]);
    return 2;
  }
  if (!gtk_init_check(nullptr, nullptr)) {
    std::fprintf(stderr, "no X display\n");
    return 1;
  }
  Bench bench;
  WebKitWebContext* context = webkit_web_context_new_ephemeral();
  quorrel_shell::UseHelperExtension(context, QUORREL_WEBKIT_EXTENSION_DIR);
  bench.view = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(context));
  GtkWidget* top = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_container_add(GTK_CONTAINER(top), GTK_WIDGET(bench.view));
  gtk_widget_show_all(top);
  bench.channel = std::make_unique<quorrel_shell::PageChannel>(
      bench.view, [&bench](const std::string& name, CefRefPtr<CefListValue> arguments) {
        answer(bench, name, arguments);
      });
  g_signal_connect(bench.view, "load-changed",
                   G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, gpointer b) {
                     if (event == WEBKIT_LOAD_FINISHED) static_cast<Bench*>(b)->loaded = true;
                   }),
                   &bench);
  webkit_web_view_load_html(bench.view, kPage, "http://quorrel.bench/");
  if (!runUntil([&] { return bench.loaded; }, 120)) {
    std::fprintf(stderr, "the page did not load\n");
    return 1;
  }
  rate(bench, total / 10 + 1, window);  // warm-up: the engine compiles the page's functions
  const double serial = rate(bench, total, 1);
  const double windowed = rate(bench, total, window);
  std::printf("WebKitGTK TKInvoke->reply->callback, one at a time: %7.0f round trips/s\n", serial);
  std::printf("WebKitGTK TKInvoke->reply->callback, %3d in flight: %7.0f round trips/s\n", window, windowed);
  bench.channel.reset();
  gtk_widget_destroy(top);
  g_object_unref(context);
  return 0;
}

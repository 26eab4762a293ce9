#include "client_window.h"

#include <unistd.h>

#include <cstdio>
#include <ctime>

extern const char kDemoPage[];

namespace {

std::string clockText() {
  char text[64] = "";
  const time_t now = time(nullptr);
  struct tm local {};
  localtime_r(&now, &local);
  strftime(text, sizeof text, "lesson clock %H:%M:%S (pushed by the shell)", &local);
  return text;
}

}  // namespace

int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

ClientWindow::ClientWindow(Options options) : options_(std::move(options)) {
  // Nothing of the demo is kept on disk.
  WebKitWebContext* context = webkit_web_context_new_ephemeral();
  if (!options_.extensionFolder.empty()) quorrel_shell::UseHelperExtension(context, options_.extensionFolder);
  view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(context));
  g_object_unref(context);  // the view keeps it
  quorrel_shell::PrepareHelperView(view_);
  // Software rendering: demo machines (and Xvfb) have no GPU, and the GL
  // path through a software driver only costs start-up time.
  webkit_settings_set_hardware_acceleration_policy(webkit_web_view_get_settings(view_),
                                                   WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  server_ = std::make_unique<quorrel_shell::ShellServer>(view_);
  server_->OnInvoke(
      [this](const std::string& function, CefRefPtr<CefListValue> arguments,
             quorrel_shell::ShellServer::Reply reply) { answerInvoke(function, arguments, reply); });
  server_->OnQuery([this](std::shared_ptr<quorrel_shell::ShellServer::Query> query) { answerQuery(query); });
  server_->OnFocus([this](bool editable, const std::string& id) {
    status("focus on \"" + id + "\"" + (editable ? ", editable" : ""));
  });

  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window_), options_.title.c_str());
  gtk_window_set_default_size(GTK_WINDOW(window_), 640, 360);
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view_));
  g_signal_connect(window_, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  webkit_web_view_load_html(view_, kDemoPage, nullptr);
  gtk_widget_show_all(window_);
  status("window shown after " + std::to_string(sinceStartMs()) + " ms");
}

ClientWindow::~ClientWindow() {
  if (clock_) g_source_remove(clock_);
  server_.reset();
  if (window_) {
    g_signal_handlers_disconnect_by_func(window_, reinterpret_cast<gpointer>(gtk_main_quit), nullptr);
    gtk_widget_destroy(window_);
  }
}

void ClientWindow::answerInvoke(const std::string& function, CefRefPtr<CefListValue>,
                                quorrel_shell::ShellServer::Reply reply) {
  if (function == "GetVersion") return reply(0, options_.version);
  if (function != "PageReady") return reply(1, "the demo shell has no function " + function);
  reply(0, "ok");
  status("page talked to the shell after " + std::to_string(sinceStartMs()) + " ms");
  if (options_.onPageTalked) options_.onPageTalked();
  if (!clock_) {
    tellTime();
    clock_ = g_timeout_add_seconds(
        1,
        [](gpointer self) -> gboolean {
          static_cast<ClientWindow*>(self)->tellTime();
          return G_SOURCE_CONTINUE;
        },
        this);
  }
}

void ClientWindow::answerQuery(const std::shared_ptr<quorrel_shell::ShellServer::Query>& query) {
  if (query->request() != "greeting") return query->Failure(1, "the demo shell does not know that request");
  query->Success("hello from the shell (process " + std::to_string(getpid()) + ")");
  status("query answered");
}

void ClientWindow::tellTime() {
  CefRefPtr<CefListValue> arguments = CefListValue::Create();
  arguments->SetString(0, clockText());
  server_->SendEvent("LessonClock", arguments);
}

void ClientWindow::status(const std::string& line) {
  std::fprintf(stderr, "demo shell: %s\n", line.c_str());
  if (options_.statusPath.empty()) return;
  if (FILE* file = std::fopen(options_.statusPath.c_str(), "a")) {
    std::fprintf(file, "%s\n", line.c_str());
    std::fclose(file);
  }
}

int64_t ClientWindow::sinceStartMs() const {
  return (MonotonicNs() - options_.startNs) / 1000000;
}

#include "webkit_pages.h"

#include <memory>
#include <stdexcept>

#include "protocol_values.h"

namespace {

const char kPageStart[] = "<script>var log = [];</script>";
const char kBaseUri[] = "http://quorrel.test/";

// Runs in the main frame's page world; child frames are same-origin
// srcdoc frames, so their own global eval runs the script there.
const char kRunBody[] =
    "var w = frame === 0 ? window : document.getElementById('f' + frame).contentWindow;"
    "try { return String(w.eval(script)); } catch (e) { return '!' + String(e); }";
const char kNavigateBody[] =
    "await new Promise(function (loaded) {"
    "  var f = document.getElementById('f' + frame); f.onload = loaded; f.srcdoc = start; });"
    "return 'navigated';";

std::string pageHtml(int children) {
  std::string html = std::string("<!doctype html><meta charset=\"utf-8\">") + kPageStart;
  for (int k = 1; k <= children; ++k)
    html += "<iframe id=\"f" + std::to_string(k) + "\" srcdoc=\"" + kPageStart + "\"></iframe>";
  return html;
}

struct ScriptCall {
  bool done = false;
  std::string result;
};

void scriptDone(GObject* view, GAsyncResult* result, gpointer data) {
  auto* call = static_cast<std::shared_ptr<ScriptCall>*>(data);
  GError* error = nullptr;
  JSCValue* value =
      webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(view), result, &error);
  if (value) {
    char* text = jsc_value_to_string(value);
    (*call)->result = text ? text : "";
    g_free(text);
    g_object_unref(value);
  } else {
    (*call)->result = std::string("!harness: ") + (error ? error->message : "no result");
  }
  if (error) g_error_free(error);
  (*call)->done = true;
  delete call;
}

GVariant* frameArguments(int frame, const char* key, const std::string& text) {
  GVariantDict arguments;
  g_variant_dict_init(&arguments, nullptr);
  g_variant_dict_insert(&arguments, "frame", "i", frame);
  g_variant_dict_insert(&arguments, key, "s", text.c_str());
  return g_variant_dict_end(&arguments);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kInstrumented = true;
#else
constexpr bool kInstrumented = false;
#endif

// In the sanitizer build the extension is instrumented and WebKit's web
// process is not, so it cannot load it. Preloading the sanitizer runtime
// into the web process works, but then WebKit's own threads now and then
// report faults of their own, which would make the run unsteady.
bool WebKitPages::Available(std::string* reason) {
  if (kInstrumented) {
    if (reason) *reason = "the web process cannot load an extension built with the sanitizers";
    return false;
  }
  static const bool usable = gtk_init_check(nullptr, nullptr);
  if (!usable && reason) *reason = "no X display for WebKitGTK";
  return usable;
}

WebKitPages::~WebKitPages() {
  Close();
}

void WebKitPages::Open(int children) {
  if (!Available(nullptr)) throw std::runtime_error("no X display for WebKitGTK");
  children_ = children;
  if (related_) {
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_related_view(related_));
    context_ = WEBKIT_WEB_CONTEXT(g_object_ref(webkit_web_view_get_context(view_)));
  } else {
    // Ephemeral: tests running side by side share no storage.
    context_ = webkit_web_context_new_ephemeral();
    quorrel_shell::UseHelperExtension(context_, QUORREL_WEBKIT_EXTENSION_DIR);
    view_ = WEBKIT_WEB_VIEW(webkit_web_view_new_with_context(context_));
  }
  quorrel_shell::PrepareHelperView(view_);
  g_signal_connect(view_, "load-changed", G_CALLBACK(&WebKitPages::loadChanged), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(&WebKitPages::processGone), this);
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_default_size(GTK_WINDOW(window_), 480, 320);
  gtk_container_add(GTK_CONTAINER(window_), GTK_WIDGET(view_));
  gtk_widget_show_all(window_);
  gtk_widget_grab_focus(GTK_WIDGET(view_));  // the page's focus events want a focused view
  channel_ = std::make_unique<quorrel_shell::PageChannel>(
      view_, [this](const std::string& name, CefRefPtr<CefListValue> arguments) {
        Json::Value message(Json::objectValue);
        message["name"] = name;
        message["args"] = ListToJson(arguments);
        inbox_.push_back(message);
      });
  Load(pageHtml(children));
}

void WebKitPages::Load(const std::string& html) {
  loaded_ = false;
  webkit_web_view_load_html(view_, html.c_str(), kBaseUri);
  waitFor([this] { return loaded_; }, "the page to load");
}

std::string WebKitPages::Run(int frame, const std::string& script) {
  auto call = std::make_shared<ScriptCall>();
  webkit_web_view_call_async_javascript_function(view_, kRunBody, -1, frameArguments(frame, "script", script),
                                                 nullptr, nullptr, nullptr, &scriptDone,
                                                 new std::shared_ptr<ScriptCall>(call));
  waitFor([call] { return call->done; }, "a script's result");
  if (call->result.rfind("!harness: ", 0) == 0) throw std::runtime_error(call->result);
  return call->result;
}

void WebKitPages::Send(const std::string& name, const Json::Value& typedArgs) {
  std::string error;
  auto arguments = ListFromJson(typedArgs, error);
  if (!arguments) throw std::runtime_error("bad typed arguments: " + error);
  channel_->Send(name, *arguments);
}

std::vector<Json::Value> WebKitPages::Take() {
  auto flushed = std::make_shared<bool>(false);
  channel_->Flush([flushed](bool) { *flushed = true; });
  waitFor([flushed] { return *flushed; }, "the page to handle its messages");
  return std::move(inbox_);
}

void WebKitPages::Navigate(int frame) {
  if (frame == 0) return Load(pageHtml(children_));
  auto call = std::make_shared<ScriptCall>();
  webkit_web_view_call_async_javascript_function(view_, kNavigateBody, -1,
                                                 frameArguments(frame, "start", kPageStart), nullptr, nullptr,
                                                 nullptr, &scriptDone, new std::shared_ptr<ScriptCall>(call));
  waitFor([call] { return call->done; }, "a frame's new document");
}

void WebKitPages::Remove(int frame) {
  Run(0, "document.getElementById('f" + std::to_string(frame) + "').remove()");
}

bool WebKitPages::Close() {
  if (!view_) return true;
  channel_.reset();
  g_signal_handlers_disconnect_by_data(view_, this);
  gtk_widget_destroy(window_);
  g_object_unref(context_);
  view_ = nullptr;
  window_ = nullptr;
  context_ = nullptr;
  return !processGone_;
}

void WebKitPages::waitFor(const std::function<bool()>& done, const char* what, int seconds) {
  bool timedOut = false;
  const guint timer = g_timeout_add_seconds(
      static_cast<guint>(seconds),
      [](gpointer flag) {
        *static_cast<bool*>(flag) = true;
        return G_SOURCE_REMOVE;
      },
      &timedOut);
  while (!done() && !timedOut && !processGone_) g_main_context_iteration(nullptr, TRUE);
  if (!timedOut) g_source_remove(timer);
  if (processGone_) throw std::runtime_error(std::string("the web process ended while waiting for ") + what);
  if (!done()) throw std::runtime_error(std::string("timed out waiting for ") + what);
}

void WebKitPages::loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  if (event == WEBKIT_LOAD_FINISHED) static_cast<WebKitPages*>(self)->loaded_ = true;
}

void WebKitPages::processGone(WebKitWebView*, WebKitWebProcessTerminationReason, gpointer self) {
  static_cast<WebKitPages*>(self)->processGone_ = true;
}

std::unique_ptr<PageEngine> MakeEngine() {
  return std::make_unique<WebKitPages>();
}

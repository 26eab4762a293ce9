#include "web_extension.h"

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "glib_task_queue.h"
#include "jsc_context.h"
#include "list_variant.h"
#include "page_watch.h"
#include "web_page_browser.h"
#include "webkit_messages.h"

namespace quorrel_webkit {
namespace {

class ReplyTask : public CefRefCounted<CefTask> {
 public:
  explicit ReplyTask(WebKitUserMessage* message) : message_(WEBKIT_USER_MESSAGE(g_object_ref(message))) {}
  ~ReplyTask() override { g_object_unref(message_); }
  void Execute() override {
    webkit_user_message_send_reply(message_, webkit_user_message_new(kPingMessage, nullptr));
  }

 private:
  WebKitUserMessage* message_;
};

// The web process's own command line, as the kernel recorded it.
CefRefPtr<CefCommandLine> processCommandLine() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<const char*> argv;
  for (size_t at = 0; at < text.size(); at = text.find('\0', at) + 1) argv.push_back(text.c_str() + at);
  CefRefPtr<CefCommandLine> commandLine = CefCommandLine::CreateCommandLine();
  commandLine->InitFromArgv(static_cast<int>(argv.size()), argv.data());
  return commandLine;
}

class WebExtension {
 public:
  explicit WebExtension(CefRefPtr<CefApp> app)
      : app_(app),
        handler_(app ? app->GetRenderProcessHandler() : nullptr),
        watch_([this](const JscState& context, CefRefPtr<CefDOMNode> node) { focused(context, node); },
               [this](const JscState& context) { hidden(context); }) {}

  void Attach(WebKitWebExtension* extension);

 private:
  static void pageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer self);
  static void windowObjectCleared(WebKitScriptWorld*, WebKitWebPage* page, WebKitFrame* frame, gpointer self);
  static gboolean userMessage(WebKitWebPage* page, WebKitUserMessage* message, gpointer self);

  CefRefPtr<PageBrowser> browserFor(WebKitWebPage* page);
  void createContext(PageBrowser& browser, PageFrame& frame, WebKitFrame* webFrame);
  void releaseContext(PageFrame& frame);
  void focused(const JscState& context, CefRefPtr<CefDOMNode> node);
  void hidden(const JscState& context);
  void frameGone(PageFrame& frame);
  void browserGone(PageBrowser& browser);
  void deliver(PageBrowser& browser, WebKitUserMessage* message);

  CefRefPtr<CefApp> app_;
  CefRefPtr<CefRenderProcessHandler> handler_;
  PageWatch watch_;
  std::map<int, CefRefPtr<PageBrowser>> browsers_;
};

void WebExtension::Attach(WebKitWebExtension* extension) {
  StartRendererQueue();
  // The switches go to a process that is running already and that reads
  // none of them; the application's duty is done all the same.
  if (app_) app_->OnBeforeCommandLineProcessing("renderer", processCommandLine());
  if (handler_) {
    handler_->OnRenderThreadCreated(CefListValue::Create());
    handler_->OnWebKitInitialized();
  }
  g_signal_connect(extension, "page-created", G_CALLBACK(&WebExtension::pageCreated), this);
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(&WebExtension::windowObjectCleared), this);
}

void WebExtension::pageCreated(WebKitWebExtension*, WebKitWebPage* page, gpointer self) {
  static_cast<WebExtension*>(self)->browserFor(page);
}

CefRefPtr<PageBrowser> WebExtension::browserFor(WebKitWebPage* page) {
  const int id = static_cast<int>(webkit_web_page_get_id(page));
  auto it = browsers_.find(id);
  if (it != browsers_.end() && it->second->page() == page) return it->second;
  CefRefPtr<PageBrowser> browser = new PageBrowser(
      page, [this](PageBrowser& gone) { browserGone(gone); }, [this](PageFrame& gone) { frameGone(gone); });
  browsers_[id] = browser;
  g_signal_connect(page, "user-message-received", G_CALLBACK(&WebExtension::userMessage), this);
  if (handler_) handler_->OnBrowserCreated(browser);
  return browser;
}

// A cleared window object means a new document in the frame: whatever the
// previous one left is released before the new context is announced.
void WebExtension::windowObjectCleared(WebKitScriptWorld*, WebKitWebPage* page, WebKitFrame* webFrame,
                                       gpointer self) {
  auto* extension = static_cast<WebExtension*>(self);
  CefRefPtr<PageBrowser> browser = extension->browserFor(page);
  CefRefPtr<PageFrame> frame = browser->FrameFor(webFrame);
  extension->releaseContext(*frame);
  extension->createContext(*browser, *frame, webFrame);
}

void WebExtension::createContext(PageBrowser& browser, PageFrame& frame, WebKitFrame* webFrame) {
  JSCContext* engineContext = webkit_frame_get_js_context(webFrame);
  JscState state = engineContext ? JscEngine::Get().CreateContext(engineContext, &browser, &frame) : nullptr;
  if (engineContext) g_object_unref(engineContext);
  if (!state) {
    g_warning("quorrel: no script context for frame %" G_GUINT64_FORMAT, webkit_frame_get_id(webFrame));
    return;
  }
  frame.SetContext(state);
  if (handler_) {
    // The handler sets things up inside the new context, as page code would.
    CefRefPtr<CefV8Context> handle = new JscContext(state);
    handle->Enter();
    handler_->OnContextCreated(&browser, &frame, handle);
    handle->Exit();
  }
  if (state->valid) watch_.Watch(webFrame, state);
}

void WebExtension::releaseContext(PageFrame& frame) {
  JscState state = frame.context();
  if (!state || !state->valid) return;
  frame.SetContext(nullptr);
  if (handler_) {
    CefRefPtr<CefV8Context> handle = new JscContext(state);
    handle->Enter();
    handler_->OnContextReleased(state->browser, state->frame, handle);
    handle->Exit();
  }
  JscEngine::Get().ReleaseContext(state);
}

void WebExtension::focused(const JscState& context, CefRefPtr<CefDOMNode> node) {
  if (handler_) handler_->OnFocusedNodeChanged(context->browser, context->frame, node);
}

void WebExtension::hidden(const JscState& context) {
  auto* frame = dynamic_cast<PageFrame*>(context->frame.get());
  if (frame && frame->context() == context) releaseContext(*frame);
}

void WebExtension::frameGone(PageFrame& frame) {
  CefRefPtr<PageFrame> keep(&frame);
  releaseContext(frame);
  auto* browser = dynamic_cast<PageBrowser*>(frame.GetBrowser().get());
  if (browser) browser->ForgetFrame(frame);
}

// A page's contexts go before the page itself.
void WebExtension::browserGone(PageBrowser& browser) {
  CefRefPtr<PageBrowser> keep(&browser);
  for (const auto& frame : browser.Frames()) releaseContext(*frame);
  if (handler_) handler_->OnBrowserDestroyed(&browser);
  auto it = browsers_.find(browser.GetIdentifier());
  if (it != browsers_.end() && it->second.get() == &browser) browsers_.erase(it);
}

gboolean WebExtension::userMessage(WebKitWebPage* page, WebKitUserMessage* message, gpointer self) {
  auto* extension = static_cast<WebExtension*>(self);
  if (g_strcmp0(webkit_user_message_get_name(message), kPingMessage) == 0) {
    // Answered after every task posted so far, router replies among them.
    CefPostTask(TID_RENDERER, new ReplyTask(message));
    return TRUE;
  }
  extension->deliver(*extension->browserFor(page), message);
  return TRUE;
}

void WebExtension::deliver(PageBrowser& browser, WebKitUserMessage* message) {
  CefRefPtr<CefProcessMessage> processMessage =
      CefProcessMessage::Create(CefString(webkit_user_message_get_name(message)));
  GVariant* parameters = webkit_user_message_get_parameters(message);
  if (parameters && !ListFromVariant(parameters, *processMessage->GetArgumentList())) {
    g_warning("quorrel: ignored message \"%s\": its parameters are not \"av\"",
              webkit_user_message_get_name(message));
    return;
  }
  if (handler_) handler_->OnProcessMessageReceived(&browser, PID_BROWSER, processMessage);
}

}  // namespace
}  // namespace quorrel_webkit

// Display scaling belongs to the browser process here; the call only keeps
// its place at the start of the helper.
void cef_enable_highdpi_support() {}

void cef_attach_web_extension(WebKitWebExtension* extension, const GVariant*, CefRefPtr<CefApp> application) {
  // Lives as long as the web process: WebKit never unloads an extension.
  static auto* attached = new quorrel_webkit::WebExtension(application);
  attached->Attach(extension);
}

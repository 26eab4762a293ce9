#include "tk_cef_app.h"

namespace tarkel_cef {
namespace {

const char kFocusMessage[] = "ClientRenderer.FocusedNodeChanged";
const char* const kBridgeFunctions[] = {"TKInvoke", "TKCall", "TKRegisterCallback"};

template <class Map>
void eraseContext(Map& map, const CefRefPtr<CefV8Context>& context) {
  for (auto it = map.begin(); it != map.end();) {
    if (it->second.context->IsSame(context))
      it = map.erase(it);
    else
      ++it;
  }
}

}  // namespace

TKCefApp::~TKCefApp() {
  registeredCallbacks.clear();
  pendingRequests.clear();
  messageRouter = nullptr;
}

bool TKCefApp::Release() const {
  if (!refCount_.Release()) return false;
  delete this;
  return true;
}

void TKCefApp::OnBeforeCommandLineProcessing(const CefString&, CefRefPtr<CefCommandLine> command_line) {
  command_line->AppendSwitch("allow-running-insecure-content");
  command_line->AppendSwitch("ignore-certificate-errors");
}

void TKCefApp::OnWebKitInitialized() {
  messageRouter = CefMessageRouterRendererSide::Create(CefMessageRouterConfig());
}

void TKCefApp::OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                CefRefPtr<CefV8Context> context) {
  if (messageRouter) messageRouter->OnContextCreated(browser, frame, context);
  CefRefPtr<CefV8Value> global = context->GetGlobal();
  if (!global) return;
  for (const char* name : kBridgeFunctions)
    global->SetValue(name, CefV8Value::CreateFunction(name, this), V8_PROPERTY_ATTRIBUTE_READONLY);
}

void TKCefApp::OnContextReleased(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                 CefRefPtr<CefV8Context> context) {
  if (messageRouter) messageRouter->OnContextReleased(browser, frame, context);
  eraseContext(registeredCallbacks, context);
  eraseContext(pendingRequests, context);
}

void TKCefApp::OnFocusedNodeChanged(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame>,
                                    CefRefPtr<CefDOMNode> node) {
  if (!node || !browser) return;
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(kFocusMessage);
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  args->SetBool(0, node->IsEditable());
  args->SetString(1, node->GetElementAttribute("id"));
  browser->SendProcessMessage(PID_BROWSER, message);
}

bool TKCefApp::OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefProcessId source_process,
                                        CefRefPtr<CefProcessMessage> message) {
  // Callbacks run below may drop the last outside reference to us.
  CefRefPtr<TKCefApp> self(this);
  if (message->GetName() == CefString("TKInvoke")) handleReply(message);
  if (!registeredCallbacks.empty()) dispatchEvent(browser, message);
  return messageRouter ? messageRouter->OnProcessMessageReceived(browser, source_process, message) : false;
}

}  // namespace tarkel_cef

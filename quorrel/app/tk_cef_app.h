// The helper's one application object: browser-process handler,
// render-process handler and handler of the bridge functions at once.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "cef_app.h"
#include "cef_message_router.h"

namespace tarkel_cef {

class TKCefApp : public CefApp,
                 public CefRenderProcessHandler,
                 public CefBrowserProcessHandler,
                 public CefV8Handler {
 public:
  TKCefApp() = default;
  ~TKCefApp() override;

  // CefApp
  void OnBeforeCommandLineProcessing(const CefString& process_type,
                                     CefRefPtr<CefCommandLine> command_line) override;
  CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override { return this; }
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override { return this; }

  // CefRenderProcessHandler
  void OnWebKitInitialized() override;
  void OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override;
  void OnContextReleased(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                         CefRefPtr<CefV8Context> context) override;
  void OnFocusedNodeChanged(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                            CefRefPtr<CefDOMNode> node) override;
  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override;

  // CefV8Handler: the bridge functions.
  bool Execute(const CefString& name, CefRefPtr<CefV8Value> object, const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval, CefString& exception) override;

  // CefBase
  void AddRef() const override { refCount_.AddRef(); }
  bool Release() const override;
  bool HasOneRef() const override { return refCount_.HasOneRef(); }

 private:
  struct PendingRequest {
    CefRefPtr<CefV8Context> context;
    CefRefPtr<CefV8Value> onSuccess;
    CefRefPtr<CefV8Value> onFailure;
  };
  struct RegisteredCallback {
    CefRefPtr<CefV8Context> context;
    CefRefPtr<CefV8Value> function;
  };
  using CallbackKey = std::pair<std::string, int32_t>;

  void invoke(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval, CefString& exception);
  void call(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval, CefString& exception);
  void registerCallback(const CefV8ValueList& arguments, CefString& exception);
  int32_t nextRequestId();
  void handleReply(CefRefPtr<CefProcessMessage> message);
  void dispatchEvent(CefRefPtr<CefBrowser> browser, CefRefPtr<CefProcessMessage> message);

  CefRefPtr<CefMessageRouterRendererSide> messageRouter;
  std::map<int32_t, PendingRequest> pendingRequests;
  int32_t requestCounter = 0;
  std::map<CallbackKey, RegisteredCallback> registeredCallbacks;
  CefRefCount refCount_;
};

}  // namespace tarkel_cef

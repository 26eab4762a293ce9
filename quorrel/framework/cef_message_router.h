// The renderer half of the query router. Its implementation is a separate
// library; until it is linked, Create returns no router and the helper runs
// without cefQuery.
#pragma once

#include "cef_app.h"

struct CefMessageRouterConfig {
  CefString js_query_function = "cefQuery";
  CefString js_cancel_function = "cefQueryCancel";
};

class CefMessageRouterRendererSide : public virtual CefBase {
 public:
  // No router when either function name is empty.
  static CefRefPtr<CefMessageRouterRendererSide> Create(const CefMessageRouterConfig& config);

  virtual int GetPendingCount(CefRefPtr<CefBrowser> browser, CefRefPtr<CefV8Context> context) = 0;
  virtual void OnContextCreated(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                CefRefPtr<CefV8Context> context) = 0;
  virtual void OnContextReleased(CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame,
                                 CefRefPtr<CefV8Context> context) = 0;
  virtual bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser, CefProcessId source_process,
                                        CefRefPtr<CefProcessMessage> message) = 0;
};

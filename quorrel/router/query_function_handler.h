// The handler behind one context's query and cancel functions: checks the
// page's arguments and passes the call on to the router.
#pragma once

#include <cstdint>

#include "renderer_side_router.h"

namespace query_router {

class QueryFunctionHandler : public CefRefCounted<CefV8Handler> {
 public:
  QueryFunctionHandler(CefRefPtr<RendererSideRouter> router, const CefMessageRouterConfig& config)
      : router_(router), config_(config) {}

  bool Execute(const CefString& name, CefRefPtr<CefV8Value> object, const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval, CefString& exception) override;

 private:
  bool query(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval, CefString& exception);
  bool cancel(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval, CefString& exception);
  int32_t contextId(CefRefPtr<CefV8Context> context);

  CefRefPtr<RendererSideRouter> router_;
  const CefMessageRouterConfig config_;
  // Given by the router the first time either function runs here.
  int32_t contextId_ = 0;
};

}  // namespace query_router

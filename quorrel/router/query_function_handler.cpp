#include "query_function_handler.h"

#include <string>

namespace query_router {
namespace {

const char kMemberPrefix[] = "Invalid arguments; object member '";

CefString memberError(const char* member, const char* requirement) {
  return std::string(kMemberPrefix) + member + requirement;
}

// An optional member: absent is fine, present (even as undefined) must pass
// the test. A getter that throws leaves no value and fails the test.
template <class Test>
bool readOptional(CefRefPtr<CefV8Value> options, const char* member, Test test,
                  CefRefPtr<CefV8Value>& value) {
  if (!options->HasValue(member)) return true;
  value = options->GetValue(member);
  return value && (value.get()->*test)();
}

}  // namespace

bool QueryFunctionHandler::Execute(const CefString& name, CefRefPtr<CefV8Value>,
                                   const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                                   CefString& exception) {
  if (name == config_.js_query_function) return query(arguments, retval, exception);
  if (name == config_.js_cancel_function) return cancel(arguments, retval, exception);
  return false;
}

bool QueryFunctionHandler::query(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                                 CefString& exception) {
  if (arguments.size() != 1 || !arguments[0]->IsObject()) {
    exception = "Invalid arguments; expecting a single object";
    return true;
  }
  CefRefPtr<CefV8Value> options = arguments[0];
  CefRefPtr<CefV8Value> request = options->GetValue("request");
  if (!request || !request->IsString()) {
    exception = memberError("request", "' is required and must have type string");
    return true;
  }
  RendererSideRouter::Callbacks callbacks;
  CefRefPtr<CefV8Value> persistent;
  if (!readOptional(options, "onSuccess", &CefV8Value::IsFunction, callbacks.onSuccess)) {
    exception = memberError("onSuccess", "' must have type function");
    return true;
  }
  if (!readOptional(options, "onFailure", &CefV8Value::IsFunction, callbacks.onFailure)) {
    exception = memberError("onFailure", "' must have type function");
    return true;
  }
  if (!readOptional(options, "persistent", &CefV8Value::IsBool, persistent)) {
    exception = memberError("persistent", "' must have type boolean");
    return true;
  }

  CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
  CefRefPtr<CefBrowser> browser = context ? context->GetBrowser() : nullptr;
  CefRefPtr<CefFrame> frame = context ? context->GetFrame() : nullptr;
  // Only a context whose page is gone lacks these; it can send nothing.
  if (!browser || !frame) return false;
  const int32_t id = router_->SendQuery(browser, frame, contextId(context), request->GetStringValue(),
                                        persistent && persistent->GetBoolValue(), callbacks);
  retval = CefV8Value::CreateInt(id);
  return true;
}

bool QueryFunctionHandler::cancel(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval,
                                  CefString& exception) {
  if (arguments.size() != 1 || !arguments[0]->IsInt()) {
    exception = "Invalid arguments; expecting a single integer";
    return true;
  }
  const int32_t requestId = arguments[0]->GetIntValue();
  bool cancelled = false;
  // 0 would mean "all of the context" on the wire; a page may not ask that.
  if (requestId != 0) {
    CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
    CefRefPtr<CefBrowser> browser = context ? context->GetBrowser() : nullptr;
    if (browser) cancelled = router_->SendCancel(browser, contextId(context), requestId);
  }
  retval = CefV8Value::CreateBool(cancelled);
  return true;
}

int32_t QueryFunctionHandler::contextId(CefRefPtr<CefV8Context> context) {
  if (contextId_ == 0) contextId_ = router_->ContextIdFor(context);
  return contextId_;
}

}  // namespace query_router

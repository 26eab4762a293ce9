// The bridge functions TKInvoke, TKCall and TKRegisterCallback, and the
// handling of the replies and events the browser process sends back.
#include <limits>
#include <string>

#include "bridge_values.h"
#include "tk_cef_app.h"

namespace tarkel_cef {
namespace {

const char kNotImplemented[] = "not implement function";
const char kArgsNotArray[] = "Invalid arguments; object member args must have type array";
const char kNameRequired[] = "Invalid arguments; object member name is required and must have type string";

CefString cannotSend(ConversionFailure failure) {
  switch (failure) {
    case ConversionFailure::TooManyValues:
      return "Invalid arguments; more than " + std::to_string(kMaxMessageValues) + " values to send";
    case ConversionFailure::TooDeep:
      return "Invalid arguments; arrays nested deeper than " + std::to_string(kMaxPageArrayDepth) + " levels";
    case ConversionFailure::ContainsItself:
      return "Invalid arguments; an array contains itself";
    case ConversionFailure::None:
      break;
  }
  return CefString();
}

CefString notAFunction(const char* member) {
  return std::string("Invalid arguments; object member '") + member + "' must have type function";
}

// Reads an optional callback member: present means it must be a function,
// even when its value is undefined.
bool readCallback(CefRefPtr<CefV8Value> options, const char* member, CefRefPtr<CefV8Value>& callback,
                  CefString& exception) {
  if (!options->HasValue(member)) return true;
  callback = options->GetValue(member);
  if (callback && callback->IsFunction()) return true;
  exception = notAFunction(member);
  return false;
}

CefRefPtr<CefProcessMessage> requestMessage(int32_t id, CefRefPtr<CefListValue> callList) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("TKInvoke");
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  args->SetInt(0, id);
  args->SetList(1, callList);
  return message;
}

void sendToBrowser(CefRefPtr<CefV8Context> context, CefRefPtr<CefProcessMessage> message) {
  CefRefPtr<CefBrowser> browser = context->GetBrowser();
  if (browser) browser->SendProcessMessage(PID_BROWSER, message);
}

}  // namespace

bool TKCefApp::Execute(const CefString& name, CefRefPtr<CefV8Value>, const CefV8ValueList& arguments,
                       CefRefPtr<CefV8Value>& retval, CefString& exception) {
  const std::string function = name.ToString();
  if (function == "TKInvoke")
    invoke(arguments, retval, exception);
  else if (function == "TKCall")
    call(arguments, retval, exception);
  else if (function == "TKRegisterCallback")
    registerCallback(arguments, exception);
  else
    exception = kNotImplemented;
  return true;
}

// Ids run 1, 2, 3, ... for the life of the process. After the largest
// 32-bit id the count starts again at 1 instead of overflowing.
int32_t TKCefApp::nextRequestId() {
  requestCounter = requestCounter == std::numeric_limits<int32_t>::max() ? 1 : requestCounter + 1;
  return requestCounter;
}

void TKCefApp::invoke(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval, CefString& exception) {
  CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
  if (arguments.size() != 1 || !arguments[0]->IsObject() || !context) {
    exception = kNotImplemented;
    return;
  }
  CefRefPtr<CefV8Value> options = arguments[0];
  // A getter that throws leaves no value at all; only then the request
  // goes out with the name alone.
  CefRefPtr<CefV8Value> args = options->GetValue("args");
  if (args && !args->IsArray()) {
    exception = kArgsNotArray;
    return;
  }
  CefRefPtr<CefV8Value> name = options->GetValue("name");
  if (!name || !name->IsString()) {
    exception = kNameRequired;
    return;
  }
  PendingRequest request{context, nullptr, nullptr};
  if (!readCallback(options, "onSuccess", request.onSuccess, exception) ||
      !readCallback(options, "onFailure", request.onFailure, exception))
    return;

  CefRefPtr<CefListValue> callList;
  exception = cannotSend(InvokeCallList(name->GetStringValue(), args, callList));
  if (!exception.empty()) return;
  const int32_t id = nextRequestId();
  pendingRequests[id] = request;
  sendToBrowser(context, requestMessage(id, callList));
  retval = CefV8Value::CreateInt(id);
}

void TKCefApp::call(const CefV8ValueList& arguments, CefRefPtr<CefV8Value>& retval, CefString& exception) {
  CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
  if (arguments.size() < 2 || !arguments[0]->IsString() || !context) {
    exception = kNotImplemented;
    return;
  }
  // The callback is one of the arguments the call list skips.
  CefRefPtr<CefListValue> callList;
  exception = cannotSend(CallCallList(arguments, callList));
  if (!exception.empty()) return;
  const int32_t id = nextRequestId();
  CefRefPtr<CefV8Value> callback = arguments.back();
  if (callback->IsFunction()) pendingRequests[id] = PendingRequest{context, nullptr, callback};
  retval = CefV8Value::CreateInt(id);
  sendToBrowser(context, requestMessage(id, callList));
}

void TKCefApp::registerCallback(const CefV8ValueList& arguments, CefString& exception) {
  CefRefPtr<CefV8Context> context = CefV8Context::GetCurrentContext();
  if (arguments.size() != 2 || !arguments[0]->IsString() || !arguments[1]->IsFunction() || !context ||
      !context->GetBrowser()) {
    exception = kNotImplemented;
    return;
  }
  const CallbackKey key(arguments[0]->GetStringValue().ToString(), context->GetBrowser()->GetIdentifier());
  registeredCallbacks[key] = RegisteredCallback{context, arguments[1]};
}

void TKCefApp::handleReply(CefRefPtr<CefProcessMessage> message) {
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  if (args->GetType(0) != VTYPE_INT) return;
  auto it = pendingRequests.find(args->GetInt(0));
  if (it == pendingRequests.end()) return;
  const int code = args->GetInt(1);
  const CefString text = args->GetString(2);
  // Answered once: the entry goes before any script runs.
  const PendingRequest request = it->second;
  pendingRequests.erase(it);

  CefRefPtr<CefV8Value> function;
  CefV8ValueList callArgs;
  if (code != 0 || !request.onSuccess) {
    function = request.onFailure;
    callArgs = {CefV8Value::CreateInt(code), CefV8Value::CreateString(text)};
  } else {
    function = request.onSuccess;
    callArgs = {CefV8Value::CreateString(text)};
  }
  if (!function || !request.context->Enter()) return;
  function->ExecuteFunction(nullptr, callArgs);
  request.context->Exit();
}

void TKCefApp::dispatchEvent(CefRefPtr<CefBrowser> browser, CefRefPtr<CefProcessMessage> message) {
  auto it = registeredCallbacks.find(CallbackKey(message->GetName().ToString(), browser->GetIdentifier()));
  if (it == registeredCallbacks.end()) return;
  // A copy: the callback may replace its own registration.
  const RegisteredCallback entry = it->second;
  if (!entry.context->Enter()) return;
  CefRefPtr<CefListValue> list = message->GetArgumentList();
  CefV8ValueList callArgs;
  for (size_t i = 0; i < list->GetSize(); ++i) {
    CefRefPtr<CefV8Value> value = ListElementToV8(list, i);
    callArgs.push_back(value ? value : CefV8Value::CreateUndefined());
  }
  entry.function->ExecuteFunction(nullptr, callArgs);
  entry.context->Exit();
}

}  // namespace tarkel_cef

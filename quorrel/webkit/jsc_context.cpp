// Contexts, the current-context queries and native functions.
#include "jsc_context.h"

#include <exception>
#include <string>

#include "jsc_value.h"

namespace quorrel_webkit {
namespace {

struct FunctionData {
  CefRefPtr<CefV8Handler> handler;
  CefString name;
};

void dropFunctionData(gpointer data) {
  delete static_cast<FunctionData*>(data);
}

// Runs the handler of a native function. The engine passes no receiver to
// variadic functions; the handler gets the global object, which is what a
// plain call of a page function sees. An exception text is thrown into the
// calling script as an Error with that message.
JSCValue* trampoline(GPtrArray* argv, FunctionData* data) {
  JSCContext* context = jsc_context_get_current();
  if (!context) return nullptr;  // only the engine calls this, always from a context
  JscEngine& engine = JscEngine::Get();
  CefRefPtr<CefV8Handler> handler = data->handler;
  CefV8ValueList arguments;
  arguments.reserve(argv ? argv->len : 0);
  for (guint i = 0; argv && i < argv->len; ++i)
    arguments.push_back(JscValue::Wrap(static_cast<JSCValue*>(g_ptr_array_index(argv, i))));
  JSCValue* global = jsc_context_get_global_object(context);
  CefRefPtr<CefV8Value> receiver = JscValue::Wrap(global);
  g_object_unref(global);

  CefRefPtr<CefV8Value> retval;
  CefString exception;
  bool handled = false;
  engine.PushRunning(context);
  // A C++ exception must not unwind through the engine's frames.
  try {
    handled = handler->Execute(data->name, receiver, arguments, retval, exception);
  } catch (const std::exception& e) {
    exception = std::string("native function failed: ") + e.what();
  } catch (...) {
    exception = "native function failed";
  }
  engine.PopRunning();

  if (exception.empty() && !handled) exception = "Cannot call function";
  if (!exception.empty()) {
    jsc_context_throw(context, exception.ToString().c_str());
    return jsc_value_new_undefined(context);
  }
  return retval ? ToJsc(context, retval) : jsc_value_new_undefined(context);
}

}  // namespace

CefRefPtr<CefV8Value> JscContext::GetGlobal() {
  if (!IsValid()) return nullptr;
  JSCValue* global = jsc_context_get_global_object(state_->context);
  CefRefPtr<CefV8Value> value = JscValue::Wrap(global);
  g_object_unref(global);
  return value;
}

bool JscContext::Enter() {
  if (!IsValid()) return false;
  JscEngine::Get().Enter(state_);
  return true;
}

bool JscContext::Exit() {
  return state_ && JscEngine::Get().Exit(state_);
}

bool JscContext::IsSame(CefRefPtr<CefV8Context> that) {
  auto* other = dynamic_cast<JscContext*>(that.get());
  return other && other->state_ == state_;
}

bool JscContext::Eval(const CefString& code, CefRefPtr<CefV8Value>& retval,
                      CefRefPtr<CefV8Exception>& exception) {
  retval = nullptr;
  exception = nullptr;
  if (!Enter()) return false;
  const std::string source = code.ToString();
  JSCValue* result = jsc_context_evaluate(state_->context, source.data(), static_cast<gssize>(source.size()));
  exception = TakeException(state_->context);
  if (!exception && result) retval = JscValue::Wrap(result);
  if (result) g_object_unref(result);
  Exit();
  return !exception;
}

}  // namespace quorrel_webkit

using quorrel_webkit::JscContext;
using quorrel_webkit::JscEngine;

CefRefPtr<CefV8Value> CefV8Value::CreateFunction(const CefString& name, CefRefPtr<CefV8Handler> handler) {
  quorrel_webkit::JscState state = JscEngine::Get().Current();
  if (!state || !state->valid || !handler) return nullptr;
  auto* data = new quorrel_webkit::FunctionData{handler, name};
  // The engine frees `data` (and with it the handler reference) when it
  // collects the function.
  JSCValue* function = jsc_value_new_function_variadic(state->context, name.ToString().c_str(),
                                                       G_CALLBACK(quorrel_webkit::trampoline), data,
                                                       quorrel_webkit::dropFunctionData, JSC_TYPE_VALUE);
  CefRefPtr<CefV8Value> value = quorrel_webkit::JscValue::Wrap(function);
  g_object_unref(function);
  return value;
}

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
  quorrel_webkit::JscState state = JscEngine::Get().Current();
  return state ? new JscContext(state) : nullptr;
}

CefRefPtr<CefV8Context> CefV8Context::GetEnteredContext() {
  return GetCurrentContext();
}

bool CefV8Context::InContext() {
  return JscEngine::Get().Current() != nullptr;
}

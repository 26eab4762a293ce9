// Contexts, the current-context queries and native functions.
#include <exception>
#include <string>

#include "v8_value.h"

namespace {

const char kHandlerKey[] = DUK_HIDDEN_SYMBOL("quorrelHandler");
const char kNameKey[] = DUK_HIDDEN_SYMBOL("quorrelName");

duk_ret_t opRun(duk_context* ctx, void*) {  // [function] -> completion value
  duk_call(ctx, 0);
  return 1;
}

duk_ret_t opDefineName(duk_context* ctx, void*) {  // [function, name]
  duk_push_string(ctx, "name");
  duk_swap_top(ctx, -2);
  duk_def_prop(ctx, -3, DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_FORCE);
  return 0;
}

enum class CallOutcome { Return, Throw };

// Does all the C++ work of a native call and leaves either the return value
// or an error object on top of the stack. Every C++ object it creates is
// gone by the time the trampoline below throws.
CallOutcome invokeHandler(duk_context* ctx) {
  const duk_idx_t argc = duk_get_top(ctx);
  V8Engine* engine = V8Engine::Current();
  duk_push_current_function(ctx);
  duk_get_prop_string(ctx, -1, kHandlerKey);
  CefV8Handler* rawHandler = static_cast<CefV8Handler*>(duk_get_pointer(ctx, -1));
  duk_get_prop_string(ctx, -2, kNameKey);
  const CefString name = V8GetString(ctx, -1);
  duk_pop_3(ctx);
  if (!engine || !engine->alive() || !rawHandler) {
    duk_push_undefined(ctx);
    return CallOutcome::Return;
  }
  CefRefPtr<CefV8Handler> handler = rawHandler;
  CefV8ValueList arguments;
  arguments.reserve(static_cast<size_t>(argc));
  for (duk_idx_t i = 0; i < argc; ++i) arguments.push_back(V8WrapValue(engine, ctx, i));
  duk_push_this(ctx);
  // A plain call gives native functions no receiver; page functions would
  // see their global object there, and so do ours.
  if (duk_is_null_or_undefined(ctx, -1)) {
    duk_pop(ctx);
    duk_push_global_object(ctx);
  }
  CefRefPtr<CefV8Value> receiver = V8WrapValue(engine, ctx, -1);
  duk_pop(ctx);

  CefRefPtr<CefV8Value> retval;
  CefString exception;
  engine->PushRunning(ctx);
  bool handled = false;
  // A C++ exception must not unwind through the engine's C frames.
  try {
    handled = handler->Execute(name, receiver, arguments, retval, exception);
  } catch (const std::exception& e) {
    exception = std::string("native function failed: ") + e.what();
  } catch (...) {
    exception = "native function failed";
  }
  engine->PopRunning();

  if (!exception.empty()) {
    const std::string text = cef_string_utf16_to_cesu8(exception.ToString16());
    // No C file and line: the error then points at the calling script.
    duk_push_error_object_raw(ctx, DUK_ERR_ERROR, nullptr, 0, "%s", text.c_str());
    return CallOutcome::Throw;
  }
  if (!handled) {
    duk_push_error_object_raw(ctx, DUK_ERR_ERROR, nullptr, 0, "Cannot call function");
    return CallOutcome::Throw;
  }
  if (retval && engine->alive())
    V8PushValue(ctx, retval);
  else
    duk_push_undefined(ctx);
  return CallOutcome::Return;
}

duk_ret_t trampoline(duk_context* ctx) {
  if (invokeHandler(ctx) == CallOutcome::Throw) return duk_throw(ctx);
  return 1;
}

// Drops the function's reference to its handler when the engine collects
// the function (or destroys the heap).
duk_ret_t finalizeFunction(duk_context* ctx) {
  duk_get_prop_string(ctx, 0, kHandlerKey);
  auto* handler = static_cast<CefV8Handler*>(duk_get_pointer(ctx, -1));
  duk_pop(ctx);
  if (!handler) return 0;
  duk_push_pointer(ctx, nullptr);
  duk_put_prop_string(ctx, 0, kHandlerKey);
  handler->Release();
  return 0;
}

}  // namespace

CefRefPtr<CefV8Value> CefV8Value::CreateFunction(const CefString& name, CefRefPtr<CefV8Handler> handler) {
  V8Engine* engine = V8Engine::Current();
  if (!engine || !engine->alive() || !handler) return nullptr;
  duk_context* ctx = engine->ctx();
  duk_push_c_function(ctx, trampoline, DUK_VARARGS);
  handler->AddRef();  // released by finalizeFunction
  duk_push_pointer(ctx, handler.get());
  duk_put_prop_string(ctx, -2, kHandlerKey);
  V8PushString(ctx, name);
  duk_put_prop_string(ctx, -2, kNameKey);
  duk_push_c_function(ctx, finalizeFunction, 2);
  duk_set_finalizer(ctx, -2);
  duk_dup(ctx, -1);
  V8PushString(ctx, name);
  if (duk_safe_call(ctx, opDefineName, nullptr, 2, 1) != DUK_EXEC_SUCCESS) {
    // Only the visible name is missing; the function still works.
  }
  duk_pop(ctx);
  CefRefPtr<CefV8Value> value = V8WrapValue(engine, ctx, -1);
  duk_pop(ctx);
  return value;
}

CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
  V8Engine* engine = V8Engine::Current();
  auto state = engine ? engine->CurrentContext() : nullptr;
  return state ? new V8ContextImpl(state) : nullptr;
}

CefRefPtr<CefV8Context> CefV8Context::GetEnteredContext() {
  return GetCurrentContext();
}

bool CefV8Context::InContext() {
  V8Engine* engine = V8Engine::Current();
  return engine && engine->CurrentContext() != nullptr;
}

CefRefPtr<CefV8Value> V8ContextImpl::GetGlobal() {
  if (!IsValid()) return nullptr;
  duk_context* thread = state_->thread;
  duk_push_global_object(thread);
  CefRefPtr<CefV8Value> global = V8WrapValue(state_->engine.get(), thread, -1);
  duk_pop(thread);
  return global;
}

bool V8ContextImpl::Enter() {
  if (!IsValid()) return false;
  state_->engine->Enter(state_);
  return true;
}

bool V8ContextImpl::Exit() {
  return state_ && state_->engine->Exit(state_);
}

bool V8ContextImpl::IsSame(CefRefPtr<CefV8Context> that) {
  auto* other = dynamic_cast<V8ContextImpl*>(that.get());
  return other && other->state_ == state_;
}

bool V8ContextImpl::Eval(const CefString& code, CefRefPtr<CefV8Value>& retval,
                         CefRefPtr<CefV8Exception>& exception) {
  retval = nullptr;
  exception = nullptr;
  if (!IsValid()) return false;
  CefRefPtr<V8Engine> engine = state_->engine;
  duk_context* thread = state_->thread;
  const std::string source = code.ToString();
  Enter();
  duk_push_string(thread, "script");
  bool ok = duk_pcompile_lstring_filename(thread, DUK_COMPILE_EVAL, source.data(), source.size()) == 0;
  if (ok) ok = duk_safe_call(thread, opRun, nullptr, 1, 1) == DUK_EXEC_SUCCESS;
  if (!engine->alive()) return false;
  if (ok)
    retval = V8WrapValue(engine.get(), thread, -1);
  else
    exception = V8MakeException(thread, -1);
  duk_pop(thread);
  Exit();
  return ok;
}

#include "jsc_engine.h"

#include "v8_exception_impl.h"

namespace quorrel_webkit {
namespace {

// Evaluated in a new context before the page's own scripts: the bound call
// and the saved functions keep working whatever the page later replaces.
const char kBuiltins[] =
    "[Function.prototype.call.bind(Date.prototype.getTime), Date, Reflect.apply, Object.is, Object.keys]";

void clear(JSCValue*& value) {
  if (value) g_object_unref(value);
  value = nullptr;
}

JSCValue* element(JSCValue* array, guint index) {
  JSCValue* value = jsc_value_object_get_property_at_index(array, index);
  if (value && jsc_value_is_function(value)) return value;
  clear(value);
  return nullptr;
}

bool takeBuiltins(JscContextState& state) {
  JSCValue* list = jsc_context_evaluate(state.context, kBuiltins, -1);
  const bool ok = list && !jsc_context_get_exception(state.context) && jsc_value_is_array(list);
  if (ok) {
    state.callGetTime = element(list, 0);
    state.dateConstructor = element(list, 1);
    state.reflectApply = element(list, 2);
    state.objectIs = element(list, 3);
    state.objectKeys = element(list, 4);
  }
  if (list) g_object_unref(list);
  jsc_context_clear_exception(state.context);
  return ok && state.callGetTime && state.dateConstructor && state.reflectApply && state.objectIs &&
         state.objectKeys;
}

}  // namespace

JscContextState::~JscContextState() {
  clear(callGetTime);
  clear(dateConstructor);
  clear(reflectApply);
  clear(objectIs);
  clear(objectKeys);
  if (context) g_object_unref(context);
}

JscEngine& JscEngine::Get() {
  // Lives as long as the web process; never torn down, since engine objects
  // may still call back into it while the process exits.
  static JscEngine* engine = new JscEngine();
  return *engine;
}

JscState JscEngine::CreateContext(JSCContext* context, CefRefPtr<CefBrowser> browser,
                                  CefRefPtr<CefFrame> frame) {
  auto state = std::make_shared<JscContextState>();
  state->context = JSC_CONTEXT(g_object_ref(context));
  if (!takeBuiltins(*state)) return nullptr;
  state->valid = true;
  state->browser = browser;
  state->frame = frame;
  contexts_[context] = state;
  return state;
}

void JscEngine::ReleaseContext(const JscState& state) {
  if (!state || !state->valid) return;
  state->valid = false;
  state->browser = nullptr;
  state->frame = nullptr;
  auto it = contexts_.find(state->context);
  if (it != contexts_.end() && it->second.lock() == state) contexts_.erase(it);
}

JscState JscEngine::StateFor(JSCContext* context) const {
  auto it = contexts_.find(context);
  return it == contexts_.end() ? nullptr : it->second.lock();
}

void JscEngine::Enter(const JscState& state) {
  stack_.push_back({state, true});
}

bool JscEngine::Exit(const JscState& state) {
  if (stack_.empty() || !stack_.back().entered || stack_.back().state != state) return false;
  stack_.pop_back();
  return true;
}

void JscEngine::PushRunning(JSCContext* context) {
  stack_.push_back({context ? StateFor(context) : nullptr, false});
}

void JscEngine::PopRunning() {
  if (!stack_.empty()) stack_.pop_back();
}

JscState JscEngine::Current() const {
  return stack_.empty() ? nullptr : stack_.back().state;
}

CefRefPtr<CefV8Exception> TakeException(JSCContext* context) {
  JSCException* exception = context ? jsc_context_get_exception(context) : nullptr;
  if (!exception) return nullptr;
  const char* message = jsc_exception_get_message(exception);
  CefRefPtr<CefV8Exception> taken = new V8ExceptionImpl(
      CefString(message ? message : ""), static_cast<int>(jsc_exception_get_line_number(exception)));
  jsc_context_clear_exception(context);
  return taken;
}

}  // namespace quorrel_webkit

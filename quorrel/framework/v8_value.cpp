#include "v8_value.h"

#include <cmath>
#include <limits>

#include "cef_number.h"
#include "v8_exception_impl.h"

namespace {

const char kHandlerKey[] = DUK_HIDDEN_SYMBOL("quorrelHandler");
const char kNameKey[] = DUK_HIDDEN_SYMBOL("quorrelName");

// The operations below run inside duk_safe_call, so a throwing getter,
// setter or proxy trap ends up as an error result rather than a longjmp
// through C++ frames. They keep no C++ objects of their own. A safe call
// shares the caller's value stack frame, hence the indexes from the top.

duk_ret_t opGet(duk_context* ctx, void*) {  // [obj, key] -> value
  duk_get_prop(ctx, -2);
  return 1;
}

duk_ret_t opHas(duk_context* ctx, void*) {  // [obj, key] -> bool
  duk_push_boolean(ctx, duk_has_prop(ctx, -2));
  return 1;
}

duk_ret_t opDelete(duk_context* ctx, void*) {  // [obj, key] -> bool
  duk_push_boolean(ctx, duk_del_prop(ctx, -2));
  return 1;
}

duk_ret_t opDefine(duk_context* ctx, void* flags) {  // [obj, key, value]
  duk_def_prop(ctx, -3, *static_cast<duk_uint_t*>(flags));
  return 0;
}

duk_ret_t opPut(duk_context* ctx, void*) {  // [obj, key, value]
  duk_put_prop(ctx, -3);
  return 0;
}

duk_ret_t opKeys(duk_context* ctx, void*) {  // [obj] -> array of own enumerable keys
  duk_enum(ctx, -1, DUK_ENUM_OWN_PROPERTIES_ONLY);
  duk_push_array(ctx);
  duk_uarridx_t n = 0;
  while (duk_next(ctx, -2, 0)) {
    duk_to_string(ctx, -1);
    duk_put_prop_index(ctx, -2, n++);
  }
  return 1;
}

duk_ret_t opCall(duk_context* ctx, void* argc) {  // [func, this, args...] -> result
  duk_call_method(ctx, *static_cast<duk_idx_t*>(argc));
  return 1;
}

duk_ret_t opDescribe(duk_context* ctx, void*) {  // [error] -> [text, line]
  duk_dup(ctx, -1);
  duk_safe_to_string(ctx, -1);
  if (duk_is_object(ctx, -2))
    duk_get_prop_string(ctx, -2, "lineNumber");
  else
    duk_push_undefined(ctx);
  return 2;
}

V8ValueImpl* impl(const CefRefPtr<CefV8Value>& value) {
  return dynamic_cast<V8ValueImpl*>(value.get());
}

duk_uint_t defineFlags(CefV8PropertyAttribute attribute) {
  duk_uint_t flags = DUK_DEFPROP_HAVE_VALUE | DUK_DEFPROP_HAVE_WEC;
  if (!(attribute & V8_PROPERTY_ATTRIBUTE_READONLY)) flags |= DUK_DEFPROP_WRITABLE;
  if (!(attribute & V8_PROPERTY_ATTRIBUTE_DONTENUM)) flags |= DUK_DEFPROP_ENUMERABLE;
  if (!(attribute & V8_PROPERTY_ATTRIBUTE_DONTDELETE)) flags |= DUK_DEFPROP_CONFIGURABLE;
  return flags;
}

}  // namespace

CefRefPtr<CefV8Exception> V8MakeException(duk_context* ctx, duk_idx_t index) {
  duk_dup(ctx, index);
  CefString text = "Error";
  int line = 0;
  if (duk_safe_call(ctx, opDescribe, nullptr, 1, 2) == DUK_EXEC_SUCCESS) {
    text = V8GetString(ctx, -2);
    line = static_cast<int>(duk_get_int_default(ctx, -1, 0));
  }
  duk_pop_2(ctx);
  return new V8ExceptionImpl(text, line);
}

// The engine keeps strings as CESU-8; plain UTF-8 would turn a character
// beyond U+FFFF into one code point, a string the page cannot write.
CefString V8GetString(duk_context* ctx, duk_idx_t index) {
  duk_size_t length = 0;
  const char* bytes = duk_get_lstring(ctx, index, &length);
  return bytes ? CefString(cef_string_cesu8_to_utf16(bytes, length)) : CefString();
}

void V8PushString(duk_context* ctx, const CefString& value) {
  const std::string bytes = cef_string_utf16_to_cesu8(value.ToString16());
  duk_push_lstring(ctx, bytes.data(), bytes.size());
}

CefRefPtr<CefV8Value> V8WrapValue(V8Engine* engine, duk_context* ctx, duk_idx_t index) {
  switch (duk_get_type(ctx, index)) {
    case DUK_TYPE_NONE:
    case DUK_TYPE_UNDEFINED:
      return new V8ValueImpl(V8ValueImpl::Kind::Undefined);
    case DUK_TYPE_NULL:
      return new V8ValueImpl(V8ValueImpl::Kind::Null);
    case DUK_TYPE_BOOLEAN: {
      CefRefPtr<V8ValueImpl> value = new V8ValueImpl(V8ValueImpl::Kind::Bool);
      value->bool_ = duk_get_boolean(ctx, index);
      return value;
    }
    case DUK_TYPE_NUMBER:
      return V8ValueImpl::MakeNumber(duk_get_number(ctx, index));
    case DUK_TYPE_STRING:
      if (!duk_is_symbol(ctx, index)) return V8ValueImpl::MakeString(V8GetString(ctx, index));
      break;
    default:
      break;
  }
  return V8ValueImpl::MakeHeap(engine, ctx, index);
}

void V8PushValue(duk_context* ctx, const CefRefPtr<CefV8Value>& value) {
  V8ValueImpl* v = impl(value);
  if (v)
    v->Push(ctx);
  else
    duk_push_undefined(ctx);
}

CefRefPtr<V8ValueImpl> V8ValueImpl::MakeNumber(double value) {
  CefRefPtr<V8ValueImpl> v = new V8ValueImpl(Kind::Number);
  v->number_ = value;
  return v;
}

CefRefPtr<V8ValueImpl> V8ValueImpl::MakeString(CefString value) {
  CefRefPtr<V8ValueImpl> v = new V8ValueImpl(Kind::String);
  v->string_ = std::move(value);
  return v;
}

CefRefPtr<V8ValueImpl> V8ValueImpl::MakeHeap(V8Engine* engine, duk_context* ctx, duk_idx_t index) {
  CefRefPtr<V8ValueImpl> v = new V8ValueImpl(Kind::Heap);
  v->engine_ = engine;
  v->slot_ = engine->PutSlot(ctx, index);
  v->heapPtr_ = duk_get_heapptr(ctx, index);
  v->isObject_ = duk_is_object(ctx, index);
  v->isArray_ = duk_is_array(ctx, index);
  v->isFunction_ = duk_is_function(ctx, index);
  return v;
}

V8ValueImpl::~V8ValueImpl() {
  if (engine_ && engine_->alive()) engine_->DropSlot(slot_);
}

bool V8ValueImpl::usable() const {
  return kind_ == Kind::Heap && engine_ && engine_->alive();
}

void V8ValueImpl::Push(duk_context* ctx) const {
  switch (kind_) {
    case Kind::Undefined:
      duk_push_undefined(ctx);
      break;
    case Kind::Null:
      duk_push_null(ctx);
      break;
    case Kind::Bool:
      duk_push_boolean(ctx, bool_);
      break;
    case Kind::Number:
      duk_push_number(ctx, number_);
      break;
    case Kind::String:
      V8PushString(ctx, string_);
      break;
    case Kind::Heap:
      // The slot keeps the object reachable, and the engine never moves
      // objects, so the pointer stays good for as long as the slot exists.
      if (engine_ && engine_->alive())
        duk_push_heapptr(ctx, heapPtr_);
      else
        duk_push_undefined(ctx);
      break;
  }
}

// Asked for lazily: the brand test costs a protected call that throws for
// every object that is not a Date.
bool V8ValueImpl::IsDate() {
  if (isDateKnown_) return isDate_;
  isDateKnown_ = true;
  if (!usable() || !isObject_ || isArray_ || isFunction_) return isDate_ = false;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  isDate_ = engine_->DateValue(ctx, -1, nullptr);
  duk_pop(ctx);
  return isDate_;
}

bool V8ValueImpl::IsValid() {
  return kind_ != Kind::Heap || (engine_ && engine_->alive());
}

bool V8ValueImpl::IsInt() {
  return kind_ == Kind::Number && IsInt32Number(number_);
}

bool V8ValueImpl::IsUInt() {
  return kind_ == Kind::Number && IsUInt32Number(number_);
}

int32_t V8ValueImpl::GetIntValue() {
  return kind_ == Kind::Number ? ToInt32Number(number_) : 0;
}

CefTime V8ValueImpl::GetDateValue() {
  CefTime time;
  double ms = NAN;
  if (!IsDate() || !usable()) return time;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  engine_->DateValue(ctx, -1, &ms);
  duk_pop(ctx);
  cef_time_from_doublet(ms / 1000.0, &time);
  return time;
}

bool V8ValueImpl::IsSame(CefRefPtr<CefV8Value> that) {
  V8ValueImpl* other = impl(that);
  if (!other || other->kind_ != kind_) return false;
  switch (kind_) {
    case Kind::Undefined:
    case Kind::Null:
      return true;
    case Kind::Bool:
      return bool_ == other->bool_;
    case Kind::Number:
      return number_ == other->number_;
    case Kind::String:
      return string_ == other->string_;
    case Kind::Heap:
      break;
  }
  return usable() && other->engine_ == engine_ && heapPtr_ == other->heapPtr_;
}

bool V8ValueImpl::heapCall(duk_context* ctx, duk_safe_call_function op, duk_idx_t extra, duk_idx_t results,
                           void* udata) {
  if (duk_safe_call(ctx, op, udata, extra, results) == DUK_EXEC_SUCCESS) return true;
  exception_ = V8MakeException(ctx, -1);
  duk_pop_n(ctx, results);
  return false;
}

bool V8ValueImpl::HasValue(const CefString& key) {
  if (!usable() || !isObject_) return false;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  V8PushString(ctx, key);
  if (!heapCall(ctx, opHas, 2, 1)) return false;
  const bool has = duk_get_boolean(ctx, -1);
  duk_pop(ctx);
  return has;
}

bool V8ValueImpl::HasValue(int index) {
  if (!usable() || !isObject_ || index < 0) return false;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  duk_push_int(ctx, index);
  if (!heapCall(ctx, opHas, 2, 1)) return false;
  const bool has = duk_get_boolean(ctx, -1);
  duk_pop(ctx);
  return has;
}

bool V8ValueImpl::DeleteValue(const CefString& key) {
  if (!usable() || !isObject_) return false;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  V8PushString(ctx, key);
  if (!heapCall(ctx, opDelete, 2, 1)) return false;
  const bool deleted = duk_get_boolean(ctx, -1);
  duk_pop(ctx);
  return deleted;
}

CefRefPtr<CefV8Value> V8ValueImpl::GetValue(const CefString& key) {
  if (!usable() || !isObject_) return nullptr;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  V8PushString(ctx, key);
  if (!heapCall(ctx, opGet, 2, 1)) return nullptr;
  CefRefPtr<CefV8Value> value = V8WrapValue(engine_.get(), ctx, -1);
  duk_pop(ctx);
  return value;
}

CefRefPtr<CefV8Value> V8ValueImpl::GetValue(int index) {
  if (!usable() || !isObject_ || index < 0) return nullptr;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  duk_push_int(ctx, index);
  if (!heapCall(ctx, opGet, 2, 1)) return nullptr;
  CefRefPtr<CefV8Value> value = V8WrapValue(engine_.get(), ctx, -1);
  duk_pop(ctx);
  return value;
}

bool V8ValueImpl::SetValue(const CefString& key, CefRefPtr<CefV8Value> value,
                           CefV8PropertyAttribute attribute) {
  if (!usable() || !isObject_ || !value) return false;
  duk_context* ctx = engine_->ctx();
  duk_uint_t flags = defineFlags(attribute);
  Push(ctx);
  V8PushString(ctx, key);
  V8PushValue(ctx, value);
  if (!heapCall(ctx, opDefine, 3, 1, &flags)) return false;
  duk_pop(ctx);
  return true;
}

bool V8ValueImpl::SetValue(int index, CefRefPtr<CefV8Value> value) {
  if (!usable() || !isObject_ || !value || index < 0) return false;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  duk_push_int(ctx, index);
  V8PushValue(ctx, value);
  if (!heapCall(ctx, opPut, 3, 1)) return false;
  duk_pop(ctx);
  return true;
}

bool V8ValueImpl::GetKeys(std::vector<CefString>& keys) {
  keys.clear();
  if (!usable() || !isObject_) return false;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  if (!heapCall(ctx, opKeys, 1, 1)) return false;
  const duk_size_t n = duk_get_length(ctx, -1);
  for (duk_size_t i = 0; i < n; ++i) {
    duk_get_prop_index(ctx, -1, static_cast<duk_uarridx_t>(i));
    keys.push_back(V8GetString(ctx, -1));
    duk_pop(ctx);
  }
  duk_pop(ctx);
  return true;
}

int V8ValueImpl::GetArrayLength() {
  if (!usable() || !isArray_) return 0;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  const duk_size_t n = duk_get_length(ctx, -1);
  duk_pop(ctx);
  return n > static_cast<duk_size_t>(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max()
                                                                      : static_cast<int>(n);
}

CefString V8ValueImpl::GetFunctionName() {
  if (!usable() || !isFunction_) return CefString();
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  duk_get_prop_string(ctx, -1, kNameKey);  // hidden keys reach no script code
  CefString name = V8GetString(ctx, -1);
  duk_pop_2(ctx);
  return name;
}

CefRefPtr<CefV8Handler> V8ValueImpl::GetFunctionHandler() {
  if (!usable() || !isFunction_) return nullptr;
  duk_context* ctx = engine_->ctx();
  Push(ctx);
  duk_get_prop_string(ctx, -1, kHandlerKey);
  CefRefPtr<CefV8Handler> handler = static_cast<CefV8Handler*>(duk_get_pointer(ctx, -1));
  duk_pop_2(ctx);
  return handler;
}

CefRefPtr<CefV8Value> V8ValueImpl::ExecuteFunction(CefRefPtr<CefV8Value> object,
                                                   const CefV8ValueList& arguments) {
  if (!usable() || !isFunction_) return nullptr;
  duk_context* ctx = engine_->ctx();
  if (!duk_check_stack(ctx, static_cast<duk_idx_t>(arguments.size()) + 8)) return nullptr;
  Push(ctx);
  V8PushValue(ctx, object);
  for (const auto& argument : arguments) V8PushValue(ctx, argument);
  CefRefPtr<V8Engine> keepAlive = engine_;
  duk_idx_t argc = static_cast<duk_idx_t>(arguments.size());
  if (!heapCall(ctx, opCall, argc + 2, 1, &argc)) return nullptr;
  if (!engine_->alive()) return nullptr;
  CefRefPtr<CefV8Value> result = V8WrapValue(engine_.get(), ctx, -1);
  duk_pop(ctx);
  return result;
}

CefRefPtr<CefV8Value> V8ValueImpl::ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                              CefRefPtr<CefV8Value> object,
                                                              const CefV8ValueList& arguments) {
  if (!context || !context->IsValid() || !context->Enter()) return nullptr;
  CefRefPtr<CefV8Value> result = ExecuteFunction(object, arguments);
  context->Exit();
  return result;
}

// ---- CefV8Value constructors ----

CefRefPtr<CefV8Value> CefV8Value::CreateUndefined() {
  return new V8ValueImpl(V8ValueImpl::Kind::Undefined);
}
CefRefPtr<CefV8Value> CefV8Value::CreateNull() {
  return new V8ValueImpl(V8ValueImpl::Kind::Null);
}
CefRefPtr<CefV8Value> CefV8Value::CreateBool(bool value) {
  CefRefPtr<V8ValueImpl> v = new V8ValueImpl(V8ValueImpl::Kind::Bool);
  v->bool_ = value;
  return v;
}
CefRefPtr<CefV8Value> CefV8Value::CreateInt(int32_t value) {
  return V8ValueImpl::MakeNumber(value);
}
CefRefPtr<CefV8Value> CefV8Value::CreateUInt(uint32_t value) {
  return V8ValueImpl::MakeNumber(value);
}
CefRefPtr<CefV8Value> CefV8Value::CreateDouble(double value) {
  return V8ValueImpl::MakeNumber(value);
}
CefRefPtr<CefV8Value> CefV8Value::CreateString(const CefString& value) {
  return V8ValueImpl::MakeString(value);
}

CefRefPtr<CefV8Value> CefV8Value::CreateDate(const CefTime& date) {
  V8Engine* engine = V8Engine::Current();
  double seconds = 0;
  if (!engine || !engine->alive() || !cef_time_to_doublet(&date, &seconds)) return nullptr;
  duk_context* ctx = engine->ctx();
  engine->PushDate(ctx, std::round(seconds * 1000.0));
  CefRefPtr<CefV8Value> value = V8WrapValue(engine, ctx, -1);
  duk_pop(ctx);
  return value;
}

CefRefPtr<CefV8Value> CefV8Value::CreateObject() {
  V8Engine* engine = V8Engine::Current();
  if (!engine || !engine->alive()) return nullptr;
  duk_context* ctx = engine->ctx();
  duk_push_object(ctx);
  CefRefPtr<CefV8Value> value = V8WrapValue(engine, ctx, -1);
  duk_pop(ctx);
  return value;
}

CefRefPtr<CefV8Value> CefV8Value::CreateArray(int length) {
  V8Engine* engine = V8Engine::Current();
  if (!engine || !engine->alive()) return nullptr;
  duk_context* ctx = engine->ctx();
  duk_push_array(ctx);
  duk_push_int(ctx, length < 0 ? 0 : length);
  duk_put_prop_string(ctx, -2, "length");
  CefRefPtr<CefV8Value> value = V8WrapValue(engine, ctx, -1);
  duk_pop(ctx);
  return value;
}

#include "jsc_value.h"

#include <cmath>
#include <limits>
#include <memory>
#include <string>

#include "cef_number.h"
#include "jsc_strings.h"

namespace quorrel_webkit {
namespace {

// An engine value this code made or was handed with a reference to drop.
struct Unref {
  void operator()(JSCValue* value) const {
    if (value) g_object_unref(value);
  }
};
using Owned = std::unique_ptr<JSCValue, Unref>;

JscValue* impl(const CefRefPtr<CefV8Value>& value) {
  return dynamic_cast<JscValue*>(value.get());
}

JSCValuePropertyFlags defineFlags(CefV8PropertyAttribute attribute) {
  int flags = 0;
  if (!(attribute & V8_PROPERTY_ATTRIBUTE_READONLY)) flags |= JSC_VALUE_PROPERTY_WRITABLE;
  if (!(attribute & V8_PROPERTY_ATTRIBUTE_DONTENUM)) flags |= JSC_VALUE_PROPERTY_ENUMERABLE;
  if (!(attribute & V8_PROPERTY_ATTRIBUTE_DONTDELETE)) flags |= JSC_VALUE_PROPERTY_CONFIGURABLE;
  return static_cast<JSCValuePropertyFlags>(flags);
}

JSCContext* currentContext() {
  JscState state = JscEngine::Get().Current();
  return state && state->valid ? state->context : nullptr;
}

// Wraps a value the engine handed over with a reference of its own.
CefRefPtr<CefV8Value> adopt(JSCValue* value) {
  Owned owned(value);
  return owned ? JscValue::Wrap(owned.get()) : nullptr;
}

}  // namespace

JSCValue* ToJsc(JSCContext* context, const CefRefPtr<CefV8Value>& value) {
  JscValue* v = impl(value);
  return v ? v->ToJsc(context) : jsc_value_new_undefined(context);
}

CefRefPtr<JscValue> JscValue::MakeNumber(double value) {
  CefRefPtr<JscValue> v = new JscValue(Kind::Number);
  v->number_ = value;
  return v;
}

CefRefPtr<JscValue> JscValue::MakeBool(bool value) {
  CefRefPtr<JscValue> v = new JscValue(Kind::Bool);
  v->bool_ = value;
  return v;
}

CefRefPtr<JscValue> JscValue::MakeString(CefString value) {
  CefRefPtr<JscValue> v = new JscValue(Kind::String);
  v->string_ = std::move(value);
  return v;
}

CefRefPtr<JscValue> JscValue::Wrap(JSCValue* value) {
  if (jsc_value_is_undefined(value)) return new JscValue(Kind::Undefined);
  if (jsc_value_is_null(value)) return new JscValue(Kind::Null);
  if (jsc_value_is_boolean(value)) return MakeBool(jsc_value_to_boolean(value));
  if (jsc_value_is_number(value)) return MakeNumber(jsc_value_to_double(value));
  if (jsc_value_is_string(value)) return MakeString(JscStringValue(value));
  CefRefPtr<JscValue> v = new JscValue(Kind::Heap);
  v->heap_ = JSC_VALUE(g_object_ref(value));
  v->isObject_ = jsc_value_is_object(value);
  v->isArray_ = jsc_value_is_array(value);
  v->isFunction_ = jsc_value_is_function(value);
  return v;
}

JscValue::~JscValue() {
  if (heap_) g_object_unref(heap_);
}

JSCValue* JscValue::ToJsc(JSCContext* context) const {
  switch (kind_) {
    case Kind::Undefined:
      break;
    case Kind::Null:
      return jsc_value_new_null(context);
    case Kind::Bool:
      return jsc_value_new_boolean(context, bool_);
    case Kind::Number:
      return jsc_value_new_number(context, number_);
    case Kind::String:
      return NewJscString(context, string_);
    case Kind::Heap:
      return JSC_VALUE(g_object_ref(heap_));
  }
  return jsc_value_new_undefined(context);
}

bool JscValue::IsInt() {
  return kind_ == Kind::Number && IsInt32Number(number_);
}

bool JscValue::IsUInt() {
  return kind_ == Kind::Number && IsUInt32Number(number_);
}

int32_t JscValue::GetIntValue() {
  return kind_ == Kind::Number ? ToInt32Number(number_) : 0;
}

JscState JscValue::helpers() const {
  JscState own = heap_ ? JscEngine::Get().StateFor(owner()) : nullptr;
  return own ? own : JscEngine::Get().Current();
}

bool JscValue::caught(JSCContext* context) {
  CefRefPtr<CefV8Exception> exception = TakeException(context);
  if (!exception) return false;
  exception_ = exception;
  return true;
}

CefRefPtr<CefV8Value> JscValue::call(JSCValue* function, JSCValue* const* arguments, guint count) {
  Owned result(jsc_value_function_callv(function, count, const_cast<JSCValue**>(arguments)));
  if (caught(jsc_value_get_context(function)) || !result) return nullptr;
  return Wrap(result.get());
}

// Asked for lazily: the brand test is a call that throws for every object
// that is not a Date.
bool JscValue::IsDate() {
  if (isDateKnown_) return isDate_;
  isDateKnown_ = true;
  JscState state = helpers();
  if (!heap_ || !isObject_ || isArray_ || isFunction_ || !state) return isDate_ = false;
  Owned time(jsc_value_function_call(state->callGetTime, JSC_TYPE_VALUE, heap_, G_TYPE_NONE));
  isDate_ = !TakeException(jsc_value_get_context(state->callGetTime));
  return isDate_;
}

CefTime JscValue::GetDateValue() {
  CefTime date;
  JscState state = helpers();
  if (!IsDate() || !state) return date;
  Owned time(jsc_value_function_call(state->callGetTime, JSC_TYPE_VALUE, heap_, G_TYPE_NONE));
  if (TakeException(jsc_value_get_context(state->callGetTime)) || !time) return date;
  cef_time_from_doublet(jsc_value_to_double(time.get()) / 1000.0, &date);
  return date;
}

bool JscValue::IsSame(CefRefPtr<CefV8Value> that) {
  JscValue* other = impl(that);
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
  // One object has one wrapper per context; across contexts the engine's
  // own sameness decides.
  if (heap_ == other->heap_) return true;
  JscState state = helpers();
  if (!state) return false;
  Owned same(jsc_value_function_call(state->objectIs, JSC_TYPE_VALUE, heap_, JSC_TYPE_VALUE, other->heap_,
                                     G_TYPE_NONE));
  return !TakeException(jsc_value_get_context(state->objectIs)) && same && jsc_value_to_boolean(same.get());
}

bool JscValue::HasValue(const CefString& key) {
  if (!isObject_) return false;
  const bool has = jsc_value_object_has_property(heap_, key.ToString().c_str());
  return !caught(owner()) && has;
}

bool JscValue::HasValue(int index) {
  return index >= 0 && HasValue(CefString(std::to_string(index)));
}

bool JscValue::DeleteValue(const CefString& key) {
  if (!isObject_) return false;
  const bool deleted = jsc_value_object_delete_property(heap_, key.ToString().c_str());
  return !caught(owner()) && deleted;
}

CefRefPtr<CefV8Value> JscValue::GetValue(const CefString& key) {
  if (!isObject_) return nullptr;
  Owned value(jsc_value_object_get_property(heap_, key.ToString().c_str()));
  if (caught(owner()) || !value) return nullptr;
  return Wrap(value.get());
}

CefRefPtr<CefV8Value> JscValue::GetValue(int index) {
  if (!isObject_ || index < 0) return nullptr;
  Owned value(jsc_value_object_get_property_at_index(heap_, static_cast<guint>(index)));
  if (caught(owner()) || !value) return nullptr;
  return Wrap(value.get());
}

bool JscValue::SetValue(const CefString& key, CefRefPtr<CefV8Value> value, CefV8PropertyAttribute attribute) {
  if (!isObject_ || !value) return false;
  Owned property(quorrel_webkit::ToJsc(owner(), value));
  jsc_value_object_define_property_data(heap_, key.ToString().c_str(), defineFlags(attribute),
                                        property.get());
  return !caught(owner());
}

bool JscValue::SetValue(int index, CefRefPtr<CefV8Value> value) {
  if (!isObject_ || !value || index < 0) return false;
  Owned element(quorrel_webkit::ToJsc(owner(), value));
  jsc_value_object_set_property_at_index(heap_, static_cast<guint>(index), element.get());
  return !caught(owner());
}

bool JscValue::GetKeys(std::vector<CefString>& keys) {
  keys.clear();
  JscState state = helpers();
  if (!isObject_ || !state) return false;
  JSCValue* object = heap_;
  CefRefPtr<CefV8Value> list = call(state->objectKeys, &object, 1);
  if (!list) return false;
  const int length = list->GetArrayLength();
  for (int i = 0; i < length; ++i) {
    CefRefPtr<CefV8Value> key = list->GetValue(i);
    if (key) keys.push_back(key->GetStringValue());
  }
  return true;
}

int JscValue::GetArrayLength() {
  if (!isArray_) return 0;
  CefRefPtr<CefV8Value> length = GetValue("length");
  if (!length || !length->IsDouble()) return 0;
  const double n = length->GetDoubleValue();
  return n > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() : static_cast<int>(n);
}

CefString JscValue::GetFunctionName() {
  if (!isFunction_) return CefString();
  CefRefPtr<CefV8Value> name = GetValue("name");
  return name ? name->GetStringValue() : CefString();
}

CefRefPtr<CefV8Value> JscValue::ExecuteFunction(CefRefPtr<CefV8Value> object,
                                                const CefV8ValueList& arguments) {
  if (!isFunction_) return nullptr;
  JSCContext* context = owner();
  std::vector<Owned> held;
  std::vector<JSCValue*> raw;
  for (const auto& argument : arguments) {
    held.emplace_back(quorrel_webkit::ToJsc(context, argument));
    raw.push_back(held.back().get());
  }
  if (!object) return call(heap_, raw.data(), static_cast<guint>(raw.size()));
  // A receiver needs Reflect.apply: the engine's own call passes none.
  JscState state = helpers();
  if (!state) return nullptr;
  GPtrArray* list = g_ptr_array_new();
  for (JSCValue* value : raw) g_ptr_array_add(list, value);
  Owned array(jsc_value_new_array_from_garray(context, list));
  g_ptr_array_unref(list);
  Owned receiver(quorrel_webkit::ToJsc(context, object));
  JSCValue* applyArguments[] = {heap_, receiver.get(), array.get()};
  return call(state->reflectApply, applyArguments, 3);
}

CefRefPtr<CefV8Value> JscValue::ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                           CefRefPtr<CefV8Value> object,
                                                           const CefV8ValueList& arguments) {
  if (!context || !context->Enter()) return nullptr;
  CefRefPtr<CefV8Value> result = ExecuteFunction(object, arguments);
  context->Exit();
  return result;
}

}  // namespace quorrel_webkit

using quorrel_webkit::JscValue;

CefRefPtr<CefV8Value> CefV8Value::CreateUndefined() {
  return new JscValue(JscValue::Kind::Undefined);
}
CefRefPtr<CefV8Value> CefV8Value::CreateNull() {
  return new JscValue(JscValue::Kind::Null);
}
CefRefPtr<CefV8Value> CefV8Value::CreateBool(bool value) {
  return JscValue::MakeBool(value);
}
CefRefPtr<CefV8Value> CefV8Value::CreateInt(int32_t value) {
  return JscValue::MakeNumber(value);
}
CefRefPtr<CefV8Value> CefV8Value::CreateUInt(uint32_t value) {
  return JscValue::MakeNumber(value);
}
CefRefPtr<CefV8Value> CefV8Value::CreateDouble(double value) {
  return JscValue::MakeNumber(value);
}
CefRefPtr<CefV8Value> CefV8Value::CreateString(const CefString& value) {
  return JscValue::MakeString(value);
}

CefRefPtr<CefV8Value> CefV8Value::CreateDate(const CefTime& date) {
  quorrel_webkit::JscState state = quorrel_webkit::JscEngine::Get().Current();
  double seconds = 0;
  if (!state || !state->valid || !cef_time_to_doublet(&date, &seconds)) return nullptr;
  JSCValue* made = jsc_value_constructor_call(state->dateConstructor, G_TYPE_DOUBLE,
                                              std::round(seconds * 1000.0), G_TYPE_NONE);
  if (quorrel_webkit::TakeException(state->context)) {
    if (made) g_object_unref(made);
    return nullptr;
  }
  return quorrel_webkit::adopt(made);
}

CefRefPtr<CefV8Value> CefV8Value::CreateObject() {
  JSCContext* context = quorrel_webkit::currentContext();
  return context ? quorrel_webkit::adopt(jsc_value_new_object(context, nullptr, nullptr)) : nullptr;
}

CefRefPtr<CefV8Value> CefV8Value::CreateArray(int length) {
  JSCContext* context = quorrel_webkit::currentContext();
  if (!context) return nullptr;
  JSCValue* array = jsc_value_new_array(context, G_TYPE_NONE);
  if (array && length > 0) {
    JSCValue* size = jsc_value_new_number(context, length);
    jsc_value_object_set_property(array, "length", size);
    g_object_unref(size);
  }
  return quorrel_webkit::adopt(array);
}

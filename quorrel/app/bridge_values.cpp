#include "bridge_values.h"

#include <vector>

namespace tarkel_cef {
namespace {

// The message's own arguments: the request id and the call list.
constexpr size_t kRequestValues = 2;

// What is left of one message's room while page values are copied into it.
struct Conversion {
  MessageValueBudget budget;
  // The arrays being copied, outermost first, each one level deeper than
  // the list that holds it.
  std::vector<CefRefPtr<CefV8Value>> ancestors;
  ConversionFailure failure = ConversionFailure::None;

  bool fail(ConversionFailure why) {
    failure = why;
    return false;
  }
  bool take(size_t count) { return budget.Take(count) || fail(ConversionFailure::TooManyValues); }
};

bool setListValue(CefListValue& list, size_t index, CefRefPtr<CefV8Value> value, Conversion& conversion);

// Copies a non-empty array into `list`, element by element, positions kept.
bool fillList(CefListValue& list, CefRefPtr<CefV8Value> array, int length, Conversion& conversion) {
  if (!conversion.take(static_cast<size_t>(length))) return false;
  if (!list.SetSize(static_cast<size_t>(length))) return conversion.fail(ConversionFailure::TooManyValues);
  conversion.ancestors.push_back(array);
  for (int i = 0; i < length && conversion.failure == ConversionFailure::None; ++i) {
    CefRefPtr<CefV8Value> element = array->GetValue(i);
    if (element) setListValue(list, static_cast<size_t>(i), element, conversion);
  }
  conversion.ancestors.pop_back();
  return conversion.failure == ConversionFailure::None;
}

bool setArray(CefListValue& list, size_t index, CefRefPtr<CefV8Value> array, Conversion& conversion) {
  const int length = array->GetArrayLength();
  if (length == 0) return true;
  for (const auto& ancestor : conversion.ancestors)
    if (ancestor->IsSame(array)) return conversion.fail(ConversionFailure::ContainsItself);
  if (static_cast<int>(conversion.ancestors.size()) >= kMaxPageArrayDepth)
    return conversion.fail(ConversionFailure::TooDeep);
  CefRefPtr<CefListValue> nested = CefListValue::Create();
  return fillList(*nested, array, length, conversion) && list.SetList(index, nested);
}

// The order of the tests matters: a Date is an object and a number test
// must come before the general number. False for a value without a list
// form, and for one that does not fit (then with the failure set).
bool setListValue(CefListValue& list, size_t index, CefRefPtr<CefV8Value> value, Conversion& conversion) {
  if (value->IsBool()) return list.SetBool(index, value->GetBoolValue());
  if (value->IsDate()) {
    const CefTime date = value->GetDateValue();
    time_t seconds = 0;
    cef_time_to_timet(&date, &seconds);
    return list.SetDouble(index, static_cast<double>(seconds));
  }
  if (value->IsInt()) return list.SetInt(index, value->GetIntValue());
  if (value->IsDouble()) return list.SetDouble(index, value->GetDoubleValue());
  if (value->IsString()) return list.SetString(index, value->GetStringValue());
  if (value->IsArray()) return setArray(list, index, value, conversion);
  return false;
}

CefRefPtr<CefV8Value> listToArray(CefRefPtr<CefListValue> list) {
  const size_t size = list->GetSize();
  if (size == 0) return nullptr;
  CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(static_cast<int>(size));
  if (!array) return nullptr;
  for (size_t i = 0; i < size; ++i) {
    CefRefPtr<CefV8Value> element = ListElementToV8(list, i);
    if (element) array->SetValue(static_cast<int>(i), element);
  }
  return array;
}

}  // namespace

ConversionFailure InvokeCallList(const CefString& name, CefRefPtr<CefV8Value> args,
                                 CefRefPtr<CefListValue>& callList) {
  Conversion conversion;
  callList = CefListValue::Create();
  const size_t length = args ? static_cast<size_t>(args->GetArrayLength()) : 0;
  if (!conversion.take(kRequestValues + 1 + length) || !callList->SetSize(1 + length))
    return ConversionFailure::TooManyValues;
  callList->SetString(0, name);
  for (size_t k = 0; k < length && conversion.failure == ConversionFailure::None; ++k) {
    CefRefPtr<CefV8Value> element = args->GetValue(static_cast<int>(k));
    if (element) setListValue(*callList, 1 + k, element, conversion);
  }
  return conversion.failure;
}

ConversionFailure CallCallList(const CefV8ValueList& arguments, CefRefPtr<CefListValue>& callList) {
  Conversion conversion;
  callList = CefListValue::Create();
  if (!conversion.take(kRequestValues + arguments.size()) || !callList->SetSize(arguments.size()))
    return ConversionFailure::TooManyValues;
  size_t next = 0;
  for (const auto& argument : arguments) {
    if (setListValue(*callList, next, argument, conversion)) ++next;
    if (conversion.failure != ConversionFailure::None) break;
  }
  return conversion.failure;
}

CefRefPtr<CefV8Value> ListElementToV8(CefRefPtr<CefListValue> list, size_t index) {
  switch (list->GetType(index)) {
    case VTYPE_NULL:
      return CefV8Value::CreateNull();
    case VTYPE_BOOL:
      return CefV8Value::CreateBool(list->GetBool(index));
    case VTYPE_INT:
      return CefV8Value::CreateInt(list->GetInt(index));
    case VTYPE_DOUBLE:
      return CefV8Value::CreateDouble(list->GetDouble(index));
    case VTYPE_STRING:
      return CefV8Value::CreateString(list->GetString(index));
    case VTYPE_LIST:
      return listToArray(list->GetList(index));
    default:
      return nullptr;
  }
}

}  // namespace tarkel_cef

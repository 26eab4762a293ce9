#include "bridge_values.h"

#include <vector>

namespace tarkel_cef {
namespace {

using Ancestors = std::vector<CefRefPtr<CefV8Value>>;

bool setListValue(CefListValue& list, size_t index, CefRefPtr<CefV8Value> value, ConversionBudget& budget,
                  Ancestors& ancestors);

// Fills `list` from a non-empty array, element by element, positions kept.
bool fillList(CefListValue& list, CefRefPtr<CefV8Value> array, int length, ConversionBudget& budget,
              Ancestors& ancestors) {
  if (static_cast<size_t>(length) > budget.elementsLeft || !list.SetSize(static_cast<size_t>(length)))
    return false;
  budget.elementsLeft -= static_cast<size_t>(length);
  ancestors.push_back(array);
  for (int i = 0; i < length; ++i) {
    CefRefPtr<CefV8Value> element = array->GetValue(i);
    if (element) setListValue(list, static_cast<size_t>(i), element, budget, ancestors);
  }
  ancestors.pop_back();
  return true;
}

bool setArray(CefListValue& list, size_t index, CefRefPtr<CefV8Value> array, ConversionBudget& budget,
              Ancestors& ancestors) {
  const int length = array->GetArrayLength();
  if (length == 0) return true;
  if (static_cast<int>(ancestors.size()) >= ConversionBudget::kMaxDepth) return false;
  for (const auto& ancestor : ancestors)
    if (ancestor->IsSame(array)) return false;
  CefRefPtr<CefListValue> nested = CefListValue::Create();
  if (!fillList(*nested, array, length, budget, ancestors)) return false;
  return list.SetList(index, nested);
}

// The order of the tests matters: a Date is an object and a number test
// must come before the general number.
bool setListValue(CefListValue& list, size_t index, CefRefPtr<CefV8Value> value, ConversionBudget& budget,
                  Ancestors& ancestors) {
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
  if (value->IsArray()) return setArray(list, index, value, budget, ancestors);
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

bool SetListValue(CefRefPtr<CefListValue> list, size_t index, CefRefPtr<CefV8Value> value,
                  ConversionBudget& budget) {
  if (!list || !value) return false;
  Ancestors ancestors;
  return setListValue(*list, index, value, budget, ancestors);
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

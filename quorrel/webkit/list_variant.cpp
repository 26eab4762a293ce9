#include "list_variant.h"

#include <cstring>
#include <string>

namespace quorrel_webkit {
namespace {

GVariant* slotToVariant(const CefValueSlot& slot, int depth);

GVariant* invalidElement() {
  return g_variant_new_tuple(nullptr, 0);
}

GVariant* stringElement(const CefString& value) {
  const std::string utf8 = value.ToString();
  if (std::memchr(utf8.data(), '\0', utf8.size()) == nullptr) return g_variant_new_string(utf8.c_str());
  GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, utf8.data(), utf8.size(), 1);
  return g_variant_new_tuple(&bytes, 1);
}

GVariant* binaryElement(const CefRefPtr<CefBinaryValue>& binary) {
  std::string bytes(binary->GetSize(), '\0');
  binary->GetData(bytes.data(), bytes.size(), 0);
  return g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1);
}

GVariant* listToVariant(const CefRefPtr<CefListValue>& list, int depth) {
  if (depth > kMaxVariantDepth) return nullptr;
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("av"));
  for (size_t i = 0; i < list->GetSize(); ++i)
    g_variant_builder_add(&builder, "v", slotToVariant(GetListSlot(*list, i), depth));
  return g_variant_builder_end(&builder);
}

GVariant* dictionaryToVariant(const CefRefPtr<CefDictionaryValue>& dictionary, int depth) {
  if (depth > kMaxVariantDepth) return nullptr;
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
  for (const CefString& key : dictionary->GetKeys()) {
    const CefValueSlot* slot = dictionary->GetSlot(key);
    if (slot) g_variant_builder_add(&builder, "{sv}", key.ToString().c_str(), slotToVariant(*slot, depth));
  }
  return g_variant_builder_end(&builder);
}

GVariant* slotToVariant(const CefValueSlot& slot, int depth) {
  GVariant* value = nullptr;
  switch (slot.type) {
    case VTYPE_NULL:
      return g_variant_new_maybe(G_VARIANT_TYPE_VARIANT, nullptr);
    case VTYPE_BOOL:
      return g_variant_new_boolean(slot.bool_value);
    case VTYPE_INT:
      return g_variant_new_int32(slot.int_value);
    case VTYPE_DOUBLE:
      return g_variant_new_double(slot.double_value);
    case VTYPE_STRING:
      return stringElement(slot.string_value);
    case VTYPE_BINARY:
      value = slot.binary_value ? binaryElement(slot.binary_value) : nullptr;
      break;
    case VTYPE_DICTIONARY:
      value = slot.dictionary_value ? dictionaryToVariant(slot.dictionary_value, depth + 1) : nullptr;
      break;
    case VTYPE_LIST:
      value = slot.list_value ? listToVariant(slot.list_value, depth + 1) : nullptr;
      break;
    case VTYPE_INVALID:
      break;
  }
  return value ? value : invalidElement();
}

CefValueSlot slotFromVariant(GVariant* element, int depth);

bool fillList(CefListValue* list, GVariant* array, int depth) {
  const size_t first = list->GetSize();
  const gsize count = g_variant_n_children(array);
  if (!list->SetSize(first + count)) return false;
  for (gsize k = 0; k < count; ++k) {
    const size_t i = first + k;
    GVariant* boxed = g_variant_get_child_value(array, k);
    GVariant* element = g_variant_get_variant(boxed);
    const CefValueSlot slot = slotFromVariant(element, depth);
    g_variant_unref(element);
    g_variant_unref(boxed);
    // Null is what the list was grown with.
    if (slot.type != VTYPE_NULL) SetListSlot(*list, i, slot);
  }
  return true;
}

CefRefPtr<CefDictionaryValue> dictionaryFromVariant(GVariant* array, int depth) {
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  GVariantIter iter;
  g_variant_iter_init(&iter, array);
  const char* key = nullptr;
  GVariant* element = nullptr;
  // The iterator drops the previous element and key on each step.
  while (g_variant_iter_loop(&iter, "{&sv}", &key, &element))
    dictionary->SetSlot(CefString(key), slotFromVariant(element, depth));
  return dictionary;
}

CefString bytesToString(GVariant* bytes) {
  gsize size = 0;
  const void* data = g_variant_get_fixed_array(bytes, &size, 1);
  return CefString(std::string(static_cast<const char*>(data), size));
}

CefValueSlot slotFromVariant(GVariant* element, int depth) {
  CefValueSlot slot;
  slot.type = VTYPE_INVALID;
  const GVariantType* type = g_variant_get_type(element);
  if (g_variant_type_equal(type, G_VARIANT_TYPE("mv")) && g_variant_n_children(element) == 0) {
    slot.type = VTYPE_NULL;
  } else if (g_variant_type_equal(type, G_VARIANT_TYPE_BOOLEAN)) {
    slot.type = VTYPE_BOOL, slot.bool_value = g_variant_get_boolean(element);
  } else if (g_variant_type_equal(type, G_VARIANT_TYPE_INT32)) {
    slot.type = VTYPE_INT, slot.int_value = g_variant_get_int32(element);
  } else if (g_variant_type_equal(type, G_VARIANT_TYPE_DOUBLE)) {
    slot.type = VTYPE_DOUBLE, slot.double_value = g_variant_get_double(element);
  } else if (g_variant_type_equal(type, G_VARIANT_TYPE_STRING)) {
    slot.type = VTYPE_STRING, slot.string_value = CefString(g_variant_get_string(element, nullptr));
  } else if (g_variant_type_equal(type, G_VARIANT_TYPE("(ay)"))) {
    GVariant* bytes = g_variant_get_child_value(element, 0);
    slot.type = VTYPE_STRING, slot.string_value = bytesToString(bytes);
    g_variant_unref(bytes);
  } else if (g_variant_type_equal(type, G_VARIANT_TYPE_BYTESTRING)) {
    gsize size = 0;
    const void* data = g_variant_get_fixed_array(element, &size, 1);
    slot.type = VTYPE_BINARY, slot.binary_value = CefBinaryValue::Create(data, size);
  } else if (depth >= kMaxVariantDepth) {
    // Containers past the depth limit stay invalid.
  } else if (g_variant_type_equal(type, G_VARIANT_TYPE("a{sv}"))) {
    slot.type = VTYPE_DICTIONARY, slot.dictionary_value = dictionaryFromVariant(element, depth + 1);
  } else if (g_variant_type_equal(type, G_VARIANT_TYPE("av"))) {
    slot.list_value = CefListValue::Create();
    if (fillList(slot.list_value.get(), element, depth + 1)) slot.type = VTYPE_LIST;
  }
  return slot;
}

}  // namespace

GVariant* ListToVariant(const CefRefPtr<CefListValue>& list) {
  GVariant* variant = list ? listToVariant(list, 0) : nullptr;
  return variant ? variant : g_variant_new_array(G_VARIANT_TYPE_VARIANT, nullptr, 0);
}

bool ListFromVariant(GVariant* variant, CefListValue& list) {
  if (!variant || !g_variant_is_of_type(variant, G_VARIANT_TYPE("av"))) return false;
  return fillList(&list, variant, 0);
}

}  // namespace quorrel_webkit

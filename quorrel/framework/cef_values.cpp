#include "cef_values.h"

#include <algorithm>
#include <cstring>

namespace {

// A list longer than this is refused rather than attempted; it guards the
// process against a length taken from outside data.
constexpr size_t kMaxListSize = size_t{1} << 24;

class BinaryValue : public CefRefCounted<CefBinaryValue> {
 public:
  BinaryValue(const void* data, size_t size)
      : bytes_(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size) {}
  size_t GetSize() override { return bytes_.size(); }
  size_t GetData(void* buffer, size_t buffer_size, size_t data_offset) override {
    if (!buffer || data_offset >= bytes_.size()) return 0;
    const size_t n = std::min(buffer_size, bytes_.size() - data_offset);
    std::memcpy(buffer, bytes_.data() + data_offset, n);
    return n;
  }

 private:
  std::vector<uint8_t> bytes_;
};

class DictionaryValue : public CefRefCounted<CefDictionaryValue> {
 public:
  size_t GetSize() override { return slots_.size(); }
  bool HasKey(const CefString& key) override { return slots_.count(key) != 0; }
  std::vector<CefString> GetKeys() override {
    std::vector<CefString> keys;
    for (const auto& entry : slots_) keys.push_back(entry.first);
    return keys;
  }
  CefValueType GetType(const CefString& key) override {
    const auto* slot = GetSlot(key);
    return slot ? slot->type : VTYPE_INVALID;
  }
  const CefValueSlot* GetSlot(const CefString& key) override {
    auto it = slots_.find(key);
    return it == slots_.end() ? nullptr : &it->second;
  }
  bool SetSlot(const CefString& key, CefValueSlot slot) override {
    slots_[key] = std::move(slot);
    return true;
  }
  bool Remove(const CefString& key) override { return slots_.erase(key) != 0; }

 private:
  std::map<CefString, CefValueSlot> slots_;
};

class ListValue : public CefRefCounted<CefListValue> {
 public:
  bool IsValid() override { return true; }
  CefRefPtr<CefListValue> Copy() override {
    CefRefPtr<ListValue> copy = new ListValue();
    copy->slots_ = slots_;
    return copy;
  }
  bool SetSize(size_t size) override {
    if (size > kMaxListSize) return false;
    slots_.resize(size);
    return true;
  }
  size_t GetSize() override { return slots_.size(); }
  bool Clear() override {
    slots_.clear();
    return true;
  }
  bool Remove(size_t index) override {
    if (index >= slots_.size()) return false;
    slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
  }
  CefValueType GetType(size_t index) override {
    return index < slots_.size() ? slots_[index].type : VTYPE_INVALID;
  }

  bool GetBool(size_t index) override { return is(index, VTYPE_BOOL) && slots_[index].bool_value; }
  int GetInt(size_t index) override { return is(index, VTYPE_INT) ? slots_[index].int_value : 0; }
  double GetDouble(size_t index) override {
    if (is(index, VTYPE_DOUBLE)) return slots_[index].double_value;
    return is(index, VTYPE_INT) ? slots_[index].int_value : 0;
  }
  CefString GetString(size_t index) override {
    return is(index, VTYPE_STRING) ? slots_[index].string_value : CefString();
  }
  CefRefPtr<CefBinaryValue> GetBinary(size_t index) override {
    return is(index, VTYPE_BINARY) ? slots_[index].binary_value : nullptr;
  }
  CefRefPtr<CefDictionaryValue> GetDictionary(size_t index) override {
    return is(index, VTYPE_DICTIONARY) ? slots_[index].dictionary_value : nullptr;
  }
  CefRefPtr<CefListValue> GetList(size_t index) override {
    return is(index, VTYPE_LIST) ? slots_[index].list_value : nullptr;
  }

  bool SetNull(size_t index) override { return put(index, CefValueSlot{}); }
  bool SetBool(size_t index, bool value) override {
    CefValueSlot slot;
    slot.type = VTYPE_BOOL, slot.bool_value = value;
    return put(index, std::move(slot));
  }
  bool SetInt(size_t index, int value) override {
    CefValueSlot slot;
    slot.type = VTYPE_INT, slot.int_value = value;
    return put(index, std::move(slot));
  }
  bool SetDouble(size_t index, double value) override {
    CefValueSlot slot;
    slot.type = VTYPE_DOUBLE, slot.double_value = value;
    return put(index, std::move(slot));
  }
  bool SetString(size_t index, const CefString& value) override {
    CefValueSlot slot;
    slot.type = VTYPE_STRING, slot.string_value = value;
    return put(index, std::move(slot));
  }
  bool SetBinary(size_t index, CefRefPtr<CefBinaryValue> value) override {
    if (!value) return false;
    CefValueSlot slot;
    slot.type = VTYPE_BINARY, slot.binary_value = value;
    return put(index, std::move(slot));
  }
  bool SetDictionary(size_t index, CefRefPtr<CefDictionaryValue> value) override {
    if (!value) return false;
    CefValueSlot slot;
    slot.type = VTYPE_DICTIONARY, slot.dictionary_value = value;
    return put(index, std::move(slot));
  }
  bool SetList(size_t index, CefRefPtr<CefListValue> value) override {
    // A list inside itself would make every reader of it loop forever.
    if (!value || value.get() == this) return false;
    CefValueSlot slot;
    slot.type = VTYPE_LIST, slot.list_value = value;
    return put(index, std::move(slot));
  }
  bool SetInvalid(size_t index) override {
    CefValueSlot slot;
    slot.type = VTYPE_INVALID;
    return put(index, std::move(slot));
  }

 private:
  bool is(size_t index, CefValueType type) const {
    return index < slots_.size() && slots_[index].type == type;
  }
  bool put(size_t index, CefValueSlot slot) {
    if (index >= slots_.size() && !SetSize(index + 1)) return false;
    slots_[index] = std::move(slot);
    return true;
  }

  std::vector<CefValueSlot> slots_;
};

}  // namespace

CefRefPtr<CefBinaryValue> CefBinaryValue::Create(const void* data, size_t data_size) {
  if (!data && data_size != 0) return nullptr;
  static const uint8_t kEmpty = 0;
  return new BinaryValue(data ? data : &kEmpty, data_size);
}

CefRefPtr<CefDictionaryValue> CefDictionaryValue::Create() {
  return new DictionaryValue();
}
CefRefPtr<CefListValue> CefListValue::Create() {
  return new ListValue();
}

CefValueSlot GetListSlot(CefListValue& list, size_t index) {
  CefValueSlot slot;
  slot.type = list.GetType(index);
  slot.bool_value = list.GetBool(index);
  slot.int_value = list.GetInt(index);
  slot.double_value = list.GetDouble(index);
  slot.string_value = list.GetString(index);
  slot.binary_value = list.GetBinary(index);
  slot.dictionary_value = list.GetDictionary(index);
  slot.list_value = list.GetList(index);
  return slot;
}

bool SetListSlot(CefListValue& list, size_t index, const CefValueSlot& slot) {
  switch (slot.type) {
    case VTYPE_NULL:
      return list.SetNull(index);
    case VTYPE_BOOL:
      return list.SetBool(index, slot.bool_value);
    case VTYPE_INT:
      return list.SetInt(index, slot.int_value);
    case VTYPE_DOUBLE:
      return list.SetDouble(index, slot.double_value);
    case VTYPE_STRING:
      return list.SetString(index, slot.string_value);
    case VTYPE_BINARY:
      return list.SetBinary(index, slot.binary_value);
    case VTYPE_DICTIONARY:
      return list.SetDictionary(index, slot.dictionary_value);
    case VTYPE_LIST:
      return list.SetList(index, slot.list_value);
    case VTYPE_INVALID:
      break;
  }
  return list.SetInvalid(index);
}

// Typed value containers carried by process messages.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cef_base.h"
#include "cef_string.h"

enum cef_value_type_t {
  VTYPE_INVALID = 0,
  VTYPE_NULL,
  VTYPE_BOOL,
  VTYPE_INT,
  VTYPE_DOUBLE,
  VTYPE_STRING,
  VTYPE_BINARY,
  VTYPE_DICTIONARY,
  VTYPE_LIST,
};
using CefValueType = cef_value_type_t;

class CefBinaryValue;
class CefDictionaryValue;
class CefListValue;

// One slot of a list or dictionary. Containers are shared by reference, so
// a nested list set into two places is the same list.
struct CefValueSlot {
  CefValueType type = VTYPE_NULL;
  bool bool_value = false;
  int int_value = 0;
  double double_value = 0;
  CefString string_value;
  CefRefPtr<CefBinaryValue> binary_value;
  CefRefPtr<CefDictionaryValue> dictionary_value;
  CefRefPtr<CefListValue> list_value;
};

class CefBinaryValue : public virtual CefBase {
 public:
  static CefRefPtr<CefBinaryValue> Create(const void* data, size_t data_size);
  virtual size_t GetSize() = 0;
  // Copies up to buffer_size bytes starting at data_offset; returns the count.
  virtual size_t GetData(void* buffer, size_t buffer_size, size_t data_offset) = 0;
};

class CefDictionaryValue : public virtual CefBase {
 public:
  static CefRefPtr<CefDictionaryValue> Create();
  virtual size_t GetSize() = 0;
  virtual bool HasKey(const CefString& key) = 0;
  virtual std::vector<CefString> GetKeys() = 0;
  virtual CefValueType GetType(const CefString& key) = 0;
  virtual const CefValueSlot* GetSlot(const CefString& key) = 0;
  virtual bool SetSlot(const CefString& key, CefValueSlot slot) = 0;
  virtual bool Remove(const CefString& key) = 0;
};

class CefListValue : public virtual CefBase {
 public:
  static CefRefPtr<CefListValue> Create();

  virtual bool IsValid() = 0;
  virtual CefRefPtr<CefListValue> Copy() = 0;
  // Growing fills the new slots with null.
  virtual bool SetSize(size_t size) = 0;
  virtual size_t GetSize() = 0;
  virtual bool Clear() = 0;
  virtual bool Remove(size_t index) = 0;
  // VTYPE_INVALID for an index past the end.
  virtual CefValueType GetType(size_t index) = 0;

  virtual bool GetBool(size_t index) = 0;
  virtual int GetInt(size_t index) = 0;
  virtual double GetDouble(size_t index) = 0;
  virtual CefString GetString(size_t index) = 0;
  virtual CefRefPtr<CefBinaryValue> GetBinary(size_t index) = 0;
  virtual CefRefPtr<CefDictionaryValue> GetDictionary(size_t index) = 0;
  virtual CefRefPtr<CefListValue> GetList(size_t index) = 0;

  // Setting past the end grows the list first.
  virtual bool SetNull(size_t index) = 0;
  virtual bool SetBool(size_t index, bool value) = 0;
  virtual bool SetInt(size_t index, int value) = 0;
  virtual bool SetDouble(size_t index, double value) = 0;
  virtual bool SetString(size_t index, const CefString& value) = 0;
  virtual bool SetBinary(size_t index, CefRefPtr<CefBinaryValue> value) = 0;
  virtual bool SetDictionary(size_t index, CefRefPtr<CefDictionaryValue> value) = 0;
  virtual bool SetList(size_t index, CefRefPtr<CefListValue> value) = 0;
  // Only the protocol reader needs to store an explicitly invalid slot.
  virtual bool SetInvalid(size_t index) = 0;
};

// Element `index` of `list` as a slot, and a slot stored at `index` (for
// code that copies elements whatever their type).
CefValueSlot GetListSlot(CefListValue& list, size_t index);
bool SetListSlot(CefListValue& list, size_t index, const CefValueSlot& slot);

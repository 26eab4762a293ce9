// The handle class behind CefV8Value in a WebKit web process. Primitives
// are held by value, so that they can be made without a context and read
// without calling into the engine; objects are held as JSCValues, whose
// reference keeps them alive.
#pragma once

#include <jsc/jsc.h>

#include "jsc_engine.h"

namespace quorrel_webkit {

class JscValue : public CefRefCounted<CefV8Value> {
 public:
  enum class Kind { Undefined, Null, Bool, Number, String, Heap };

  explicit JscValue(Kind kind) : kind_(kind) {}
  ~JscValue() override;
  // A handle for an engine value (the handle takes its own reference).
  static CefRefPtr<JscValue> Wrap(JSCValue* value);
  static CefRefPtr<JscValue> MakeBool(bool value);
  static CefRefPtr<JscValue> MakeNumber(double value);
  static CefRefPtr<JscValue> MakeString(CefString value);

  // A new reference to the value as an engine value of `context`.
  JSCValue* ToJsc(JSCContext* context) const;

  bool IsValid() override { return true; }
  bool IsUndefined() override { return kind_ == Kind::Undefined; }
  bool IsNull() override { return kind_ == Kind::Null; }
  bool IsBool() override { return kind_ == Kind::Bool; }
  bool IsInt() override;
  bool IsUInt() override;
  bool IsDouble() override { return kind_ == Kind::Number; }
  bool IsDate() override;
  bool IsString() override { return kind_ == Kind::String; }
  bool IsObject() override { return isObject_; }
  bool IsArray() override { return isArray_; }
  bool IsFunction() override { return isFunction_; }
  bool IsSame(CefRefPtr<CefV8Value> that) override;

  bool GetBoolValue() override { return kind_ == Kind::Bool && bool_; }
  int32_t GetIntValue() override;
  uint32_t GetUIntValue() override { return static_cast<uint32_t>(GetIntValue()); }
  double GetDoubleValue() override { return kind_ == Kind::Number ? number_ : 0; }
  CefTime GetDateValue() override;
  CefString GetStringValue() override { return kind_ == Kind::String ? string_ : CefString(); }

  bool HasException() override { return exception_ != nullptr; }
  CefRefPtr<CefV8Exception> GetException() override { return exception_; }
  bool ClearException() override {
    exception_ = nullptr;
    return true;
  }

  bool HasValue(const CefString& key) override;
  bool HasValue(int index) override;
  bool DeleteValue(const CefString& key) override;
  CefRefPtr<CefV8Value> GetValue(const CefString& key) override;
  CefRefPtr<CefV8Value> GetValue(int index) override;
  bool SetValue(const CefString& key, CefRefPtr<CefV8Value> value, CefV8PropertyAttribute attribute) override;
  bool SetValue(int index, CefRefPtr<CefV8Value> value) override;
  bool GetKeys(std::vector<CefString>& keys) override;
  int GetArrayLength() override;

  CefString GetFunctionName() override;
  // Not offered: the engine keeps no way back from a function to the data
  // it was made with that this layer could read safely.
  CefRefPtr<CefV8Handler> GetFunctionHandler() override { return nullptr; }
  CefRefPtr<CefV8Value> ExecuteFunction(CefRefPtr<CefV8Value> object,
                                        const CefV8ValueList& arguments) override;
  CefRefPtr<CefV8Value> ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                   CefRefPtr<CefV8Value> object,
                                                   const CefV8ValueList& arguments) override;

 private:
  // The context the object belongs to, or null for primitives.
  JSCContext* owner() const { return heap_ ? jsc_value_get_context(heap_) : nullptr; }
  // Built-ins for calls on this object: its own context's, else the
  // current one's.
  JscState helpers() const;
  // Keeps what `context` threw during the last engine call; true if it did.
  bool caught(JSCContext* context);
  // Calls `function` with `arguments`, keeping a thrown exception here.
  CefRefPtr<CefV8Value> call(JSCValue* function, JSCValue* const* arguments, guint count);

  Kind kind_;
  bool bool_ = false;
  double number_ = 0;
  CefString string_;
  JSCValue* heap_ = nullptr;
  bool isObject_ = false;
  bool isArray_ = false;
  bool isFunction_ = false;
  bool isDate_ = false;
  bool isDateKnown_ = false;
  CefRefPtr<CefV8Exception> exception_;
};

// A new reference to `value` in `context`; undefined for a null handle.
JSCValue* ToJsc(JSCContext* context, const CefRefPtr<CefV8Value>& value);

}  // namespace quorrel_webkit

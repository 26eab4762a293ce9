// The handle class behind CefV8Value.
#pragma once

#include "v8_engine.h"

class V8ValueImpl : public CefRefCounted<CefV8Value> {
 public:
  enum class Kind { Undefined, Null, Bool, Number, String, Heap };

  explicit V8ValueImpl(Kind kind) : kind_(kind) {}
  static CefRefPtr<V8ValueImpl> MakeNumber(double value);
  static CefRefPtr<V8ValueImpl> MakeString(CefString value);
  // Takes a slot for the heap value at `index`.
  static CefRefPtr<V8ValueImpl> MakeHeap(V8Engine* engine, duk_context* ctx, duk_idx_t index);
  ~V8ValueImpl() override;

  // Undefined when the heap is gone.
  void Push(duk_context* ctx) const;

  bool IsValid() override;
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
  CefRefPtr<CefV8Handler> GetFunctionHandler() override;
  CefRefPtr<CefV8Value> ExecuteFunction(CefRefPtr<CefV8Value> object,
                                        const CefV8ValueList& arguments) override;
  CefRefPtr<CefV8Value> ExecuteFunctionWithContext(CefRefPtr<CefV8Context> context,
                                                   CefRefPtr<CefV8Value> object,
                                                   const CefV8ValueList& arguments) override;

  bool bool_ = false;
  double number_ = 0;

 private:
  // Runs `op` protected on the `args` values on top of the stack, leaving
  // `results` values; on failure keeps the exception, pops the results and
  // returns false.
  bool heapCall(duk_context* ctx, duk_safe_call_function op, duk_idx_t args, duk_idx_t results,
                void* udata = nullptr);
  bool usable() const;

  Kind kind_;
  CefString string_;
  CefRefPtr<V8Engine> engine_;
  uint32_t slot_ = 0;
  void* heapPtr_ = nullptr;
  bool isObject_ = false;
  bool isArray_ = false;
  bool isFunction_ = false;
  bool isDate_ = false;
  bool isDateKnown_ = false;
  CefRefPtr<CefV8Exception> exception_;
};

class V8ContextImpl : public CefRefCounted<CefV8Context> {
 public:
  explicit V8ContextImpl(std::shared_ptr<V8ContextState> state) : state_(std::move(state)) {}
  const std::shared_ptr<V8ContextState>& state() const { return state_; }

  bool IsValid() override { return state_ && state_->valid && state_->engine->alive(); }
  CefRefPtr<CefBrowser> GetBrowser() override { return IsValid() ? state_->browser : nullptr; }
  CefRefPtr<CefFrame> GetFrame() override { return IsValid() ? state_->frame : nullptr; }
  CefRefPtr<CefV8Value> GetGlobal() override;
  bool Enter() override;
  bool Exit() override;
  bool IsSame(CefRefPtr<CefV8Context> that) override;
  bool Eval(const CefString& code, CefRefPtr<CefV8Value>& retval,
            CefRefPtr<CefV8Exception>& exception) override;

 private:
  std::shared_ptr<V8ContextState> state_;
};

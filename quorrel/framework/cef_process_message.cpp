#include "cef_process_message.h"

namespace {

class ProcessMessage : public CefRefCounted<CefProcessMessage> {
 public:
  ProcessMessage(CefString name, CefRefPtr<CefListValue> args)
      : name_(std::move(name)), args_(std::move(args)) {}
  bool IsValid() override { return true; }
  CefRefPtr<CefProcessMessage> Copy() override { return new ProcessMessage(name_, args_->Copy()); }
  CefString GetName() override { return name_; }
  CefRefPtr<CefListValue> GetArgumentList() override { return args_; }

 private:
  CefString name_;
  CefRefPtr<CefListValue> args_;
};

}  // namespace

CefRefPtr<CefProcessMessage> CefProcessMessage::Create(const CefString& name) {
  return MakeProcessMessage(name, CefListValue::Create());
}

CefRefPtr<CefProcessMessage> MakeProcessMessage(const CefString& name, CefRefPtr<CefListValue> args) {
  return new ProcessMessage(name, args ? args : CefListValue::Create());
}

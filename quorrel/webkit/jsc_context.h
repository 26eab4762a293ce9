// The handle class behind CefV8Context in a WebKit web process.
#pragma once

#include "jsc_engine.h"

namespace quorrel_webkit {

class JscContext : public CefRefCounted<CefV8Context> {
 public:
  explicit JscContext(JscState state) : state_(std::move(state)) {}
  const JscState& state() const { return state_; }

  bool IsValid() override { return state_ && state_->valid; }
  CefRefPtr<CefBrowser> GetBrowser() override { return IsValid() ? state_->browser : nullptr; }
  CefRefPtr<CefFrame> GetFrame() override { return IsValid() ? state_->frame : nullptr; }
  CefRefPtr<CefV8Value> GetGlobal() override;
  bool Enter() override;
  bool Exit() override;
  bool IsSame(CefRefPtr<CefV8Context> that) override;
  bool Eval(const CefString& code, CefRefPtr<CefV8Value>& retval,
            CefRefPtr<CefV8Exception>& exception) override;

 private:
  JscState state_;
};

}  // namespace quorrel_webkit

#pragma once

#include "cef_base.h"
#include "cef_string.h"
#include "cef_values.h"

enum cef_process_id_t {
  PID_BROWSER = 0,
  PID_RENDERER = 1,
};
using CefProcessId = cef_process_id_t;

class CefProcessMessage : public virtual CefBase {
 public:
  static CefRefPtr<CefProcessMessage> Create(const CefString& name);
  virtual bool IsValid() = 0;
  virtual CefRefPtr<CefProcessMessage> Copy() = 0;
  virtual CefString GetName() = 0;
  virtual CefRefPtr<CefListValue> GetArgumentList() = 0;
};

// The framework's own way in: a message around an argument list that is
// already filled (the pipe reader's), taken over rather than copied.
CefRefPtr<CefProcessMessage> MakeProcessMessage(const CefString& name, CefRefPtr<CefListValue> args);

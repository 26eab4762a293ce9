// An exception a script threw, as the engines report it: its message and
// line. Both back ends hand these out.
#pragma once

#include "cef_v8.h"

class V8ExceptionImpl : public CefRefCounted<CefV8Exception> {
 public:
  V8ExceptionImpl(CefString message, int line) : message_(std::move(message)), line_(line) {}
  CefString GetMessage() override { return message_; }
  CefString GetSourceLine() override { return CefString(); }
  int GetLineNumber() override { return line_; }

 private:
  CefString message_;
  int line_;
};

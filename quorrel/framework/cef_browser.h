// Browsers, frames and DOM nodes as a renderer process sees them.
#pragma once

#include <cstdint>
#include <map>

#include "cef_base.h"
#include "cef_process_message.h"
#include "cef_string.h"

class CefFrame;
class CefV8Context;

class CefBrowser : public virtual CefBase {
 public:
  virtual int GetIdentifier() = 0;
  virtual bool IsSame(CefRefPtr<CefBrowser> that) = 0;
  virtual CefRefPtr<CefFrame> GetMainFrame() = 0;
  virtual CefRefPtr<CefFrame> GetFrame(int64_t identifier) = 0;
  // Only PID_BROWSER is a valid target from a renderer; false otherwise or
  // once the browser is gone.
  virtual bool SendProcessMessage(CefProcessId target_process, CefRefPtr<CefProcessMessage> message) = 0;
};

class CefFrame : public virtual CefBase {
 public:
  virtual bool IsValid() = 0;
  virtual bool IsMain() = 0;
  virtual int64_t GetIdentifier() = 0;
  virtual CefRefPtr<CefBrowser> GetBrowser() = 0;
  // The frame's current context, if one exists.
  virtual CefRefPtr<CefV8Context> GetV8Context() = 0;
};

class CefDOMNode : public virtual CefBase {
 public:
  using AttributeMap = std::map<CefString, CefString>;
  virtual bool IsElement() = 0;
  virtual bool IsEditable() = 0;
  virtual bool HasElementAttribute(const CefString& name) = 0;
  // Empty when the element has no such attribute.
  virtual CefString GetElementAttribute(const CefString& name) = 0;
  virtual void GetElementAttributes(AttributeMap& attributes) = 0;
};

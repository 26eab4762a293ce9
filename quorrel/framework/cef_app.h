// The application interfaces a sub-process hands to the framework, and the
// framework's process-level entry points.
#pragma once

#include "cef_base.h"
#include "cef_browser.h"
#include "cef_command_line.h"
#include "cef_process_message.h"
#include "cef_v8.h"
#include "cef_values.h"

// Interfaces the application may offer but this helper never does; they
// exist so that the handler slots keep their places.
class CefSchemeRegistrar : public virtual CefBase {};
class CefResourceBundleHandler : public virtual CefBase {};
class CefLoadHandler : public virtual CefBase {};
class CefPrintHandler : public virtual CefBase {};
class CefRequest : public virtual CefBase {};
class CefV8StackTrace : public virtual CefBase {};

enum cef_navigation_type_t {
  NAVIGATION_LINK_CLICKED = 0,
  NAVIGATION_FORM_SUBMITTED,
  NAVIGATION_BACK_FORWARD,
  NAVIGATION_RELOAD,
  NAVIGATION_FORM_RESUBMITTED,
  NAVIGATION_OTHER,
};
using CefNavigationType = cef_navigation_type_t;

class CefRenderProcessHandler : public virtual CefBase {
 public:
  virtual void OnRenderThreadCreated(CefRefPtr<CefListValue> /*extra_info*/) {}
  virtual void OnWebKitInitialized() {}
  virtual void OnBrowserCreated(CefRefPtr<CefBrowser> /*browser*/) {}
  virtual void OnBrowserDestroyed(CefRefPtr<CefBrowser> /*browser*/) {}
  virtual CefRefPtr<CefLoadHandler> GetLoadHandler() { return nullptr; }
  virtual bool OnBeforeNavigation(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                                  CefRefPtr<CefRequest> /*request*/, CefNavigationType /*navigation_type*/,
                                  bool /*is_redirect*/) {
    return false;
  }
  virtual void OnContextCreated(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                                CefRefPtr<CefV8Context> /*context*/) {}
  virtual void OnContextReleased(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                                 CefRefPtr<CefV8Context> /*context*/) {}
  // No stack trace is captured by this layer; `stackTrace` is always null.
  virtual void OnUncaughtException(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                                   CefRefPtr<CefV8Context> /*context*/,
                                   CefRefPtr<CefV8Exception> /*exception*/,
                                   CefRefPtr<CefV8StackTrace> /*stackTrace*/) {}
  // `node` is null when focus left every node.
  virtual void OnFocusedNodeChanged(CefRefPtr<CefBrowser> /*browser*/, CefRefPtr<CefFrame> /*frame*/,
                                    CefRefPtr<CefDOMNode> /*node*/) {}
  virtual bool OnProcessMessageReceived(CefRefPtr<CefBrowser> /*browser*/, CefProcessId /*source_process*/,
                                        CefRefPtr<CefProcessMessage> /*message*/) {
    return false;
  }
};

class CefBrowserProcessHandler : public virtual CefBase {
 public:
  virtual void OnContextInitialized() {}
  virtual void OnBeforeChildProcessLaunch(CefRefPtr<CefCommandLine> /*command_line*/) {}
  virtual void OnRenderProcessThreadCreated(CefRefPtr<CefListValue> /*extra_info*/) {}
  virtual CefRefPtr<CefPrintHandler> GetPrintHandler() { return nullptr; }
};

class CefApp : public virtual CefBase {
 public:
  virtual void OnBeforeCommandLineProcessing(const CefString& /*process_type*/,
                                             CefRefPtr<CefCommandLine> /*command_line*/) {}
  virtual void OnRegisterCustomSchemes(CefRefPtr<CefSchemeRegistrar> /*registrar*/) {}
  virtual CefRefPtr<CefResourceBundleHandler> GetResourceBundleHandler() { return nullptr; }
  virtual CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() { return nullptr; }
  virtual CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() { return nullptr; }
};

// The process's own arguments, as main() received them.
struct CefMainArgs {
  CefMainArgs() = default;
  CefMainArgs(int argc_arg, char** argv_arg) : argc(argc_arg), argv(argv_arg) {}
  int argc = 0;
  char** argv = nullptr;
};

// The hash of the interface this layer implements; entry 0 is the only one.
const char* cef_api_hash(int entry);
void cef_enable_highdpi_support();
// -1 at once when the command line names no process type (the caller is
// the browser process). Otherwise runs the sub-process and returns its exit
// code: a renderer serves the browser over standard input and output until
// told to shut down; other types only report their command line.
int cef_execute_process(const CefMainArgs& args, CefRefPtr<CefApp> application, void* windows_sandbox_info);

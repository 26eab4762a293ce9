// The engine behind CefV8Value and CefV8Context in a WebKit web process:
// JavaScriptCore through its GLib API. One JscContextState stands for one
// document's script context in the page's own world; it is made when the
// frame's window object is cleared and released when the document goes
// away (see web_extension.h). Handles compare contexts by their state, so
// a new document is a new context even where the engine reuses objects.
//
// The engine has no "entered context"; this layer keeps its own stack of
// entered and running contexts, which is what GetCurrentContext reads and
// where new objects are made.
#pragma once

#include <jsc/jsc.h>

#include <map>
#include <memory>
#include <vector>

#include "cef_browser.h"
#include "cef_v8.h"

namespace quorrel_webkit {

struct JscContextState {
  JscContextState() = default;
  JscContextState(const JscContextState&) = delete;
  JscContextState& operator=(const JscContextState&) = delete;
  ~JscContextState();

  JSCContext* context = nullptr;  // strong reference
  bool valid = false;
  CefRefPtr<CefBrowser> browser;
  CefRefPtr<CefFrame> frame;
  // Built-ins taken before any page script ran, so that a page cannot swap
  // what this layer relies on: getTime called on a value (a brand test for
  // dates), the Date constructor, Reflect.apply, Object.is, Object.keys.
  JSCValue* callGetTime = nullptr;
  JSCValue* dateConstructor = nullptr;
  JSCValue* reflectApply = nullptr;
  JSCValue* objectIs = nullptr;
  JSCValue* objectKeys = nullptr;
};

using JscState = std::shared_ptr<JscContextState>;

class JscEngine {
 public:
  static JscEngine& Get();

  // Takes a reference to `context`; nullptr when the engine refuses the
  // context (no built-ins could be taken).
  JscState CreateContext(JSCContext* context, CefRefPtr<CefBrowser> browser, CefRefPtr<CefFrame> frame);
  void ReleaseContext(const JscState& state);
  // The live state of an engine context, if any.
  JscState StateFor(JSCContext* context) const;

  void Enter(const JscState& state);
  // False when `state` is not the innermost entered context.
  bool Exit(const JscState& state);
  // A native function runs in `context` (null while it belongs to none of
  // ours: its calls then see no current context).
  void PushRunning(JSCContext* context);
  void PopRunning();
  JscState Current() const;

 private:
  struct StackEntry {
    JscState state;
    bool entered;
  };
  std::map<JSCContext*, std::weak_ptr<JscContextState>> contexts_;
  std::vector<StackEntry> stack_;
};

// Takes the exception pending on `context`, if any, and clears it.
CefRefPtr<CefV8Exception> TakeException(JSCContext* context);

}  // namespace quorrel_webkit

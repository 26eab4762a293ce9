// The browser process's end of the helper's messages for one web view:
// process messages (a name and an argument list) in both directions,
// carried as WebKit user messages. A shell that hosts pages in WebKitGTK
// uses this (or ShellServer on top of it) where a CEF shell would use its
// browser's process messages.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <string>

#include "cef_values.h"

namespace quorrel_shell {

// Points `context` at the folder holding libquorrel-webkit.so, before the
// context starts its first web process.
void UseHelperExtension(WebKitWebContext* context, const std::string& folder);
// Turns off the back-forward cache of `view`: the helper ends a page's
// context when the page is hidden, and a page brought back from the cache
// would find its bridge gone.
void PrepareHelperView(WebKitWebView* view);

class PageChannel {
 public:
  using Receiver = std::function<void(const std::string& name, CefRefPtr<CefListValue> arguments)>;

  // Messages from the page go to `receiver`, on the GLib main loop.
  PageChannel(WebKitWebView* view, Receiver receiver);
  ~PageChannel();
  PageChannel(const PageChannel&) = delete;
  PageChannel& operator=(const PageChannel&) = delete;

  WebKitWebView* view() const { return view_; }
  void Send(const std::string& name, const CefRefPtr<CefListValue>& arguments);
  // Calls `done` once the page's process has handled everything sent
  // before and delivered everything it had queued (false when the page
  // went away first). Messages the page sent meanwhile have reached the
  // receiver by then.
  void Flush(std::function<void(bool handled)> done);

 private:
  static gboolean received(WebKitWebView* view, WebKitUserMessage* message, gpointer self);

  WebKitWebView* view_;
  gulong signal_;
  Receiver receiver_;
};

}  // namespace quorrel_shell

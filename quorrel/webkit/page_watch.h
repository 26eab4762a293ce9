// Watches each document from a script world of the extension's own, which
// page scripts can neither see nor reach: a capturing focus listener on
// the window (registered before any page script, so it runs first) reports
// where keyboard focus lands, and a pagehide listener reports the document
// going away, also where WebKit gives no other sign (a page kept for the
// back-forward cache, or one left behind in an old process).
#pragma once

#include <webkit2/webkit-web-extension.h>

#include <functional>

#include "dom_node_impl.h"
#include "jsc_engine.h"

namespace quorrel_webkit {

class PageWatch {
 public:
  // Both are called with the page context of the watched document.
  using FocusCallback = std::function<void(const JscState& context, CefRefPtr<CefDOMNode> node)>;
  using HideCallback = std::function<void(const JscState& context)>;

  PageWatch(FocusCallback onFocus, HideCallback onHide);
  ~PageWatch();
  PageWatch(const PageWatch&) = delete;
  PageWatch& operator=(const PageWatch&) = delete;

  // Starts watching the document whose page context `context` is.
  void Watch(WebKitFrame* frame, const JscState& context);

 private:
  struct Binding;
  static void focused(GPtrArray* arguments, Binding* binding);
  static void hidden(GPtrArray* arguments, Binding* binding);
  static void unbind(gpointer binding);

  WebKitScriptWorld* world_;
  FocusCallback onFocus_;
  HideCallback onHide_;
};

}  // namespace quorrel_webkit

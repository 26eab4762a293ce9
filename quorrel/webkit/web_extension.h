// The render-process side of the framework in a WebKit web process: the
// extension that a browser process loads by pointing its web context's
// extensions folder at libquorrel-webkit.so. It turns WebKit's signals
// into the render-process handler's calls:
//
//   page created                  -> OnBrowserCreated
//   window object cleared (page's  -> OnContextReleased for the frame's
//   own world)                        previous document, then OnContextCreated
//   pagehide seen from the watch   -> OnContextReleased
//   world, frame or page finalized
//   focus seen from the watch world -> OnFocusedNodeChanged
//   user message from the view     -> OnProcessMessageReceived
//   page finalized                 -> OnBrowserDestroyed, after its contexts
//
// A context is released once, by whichever sign comes first; nothing runs
// in it afterwards. The message "quorrel.ping" is the framework's own: it is
// answered, once every task posted before it has run, with a reply of the
// same name, and the application never sees it.
#pragma once

#include <webkit2/webkit-web-extension.h>

#include "cef_app.h"

// Hooks `application` into this web process; called once, from the
// extension's entry point. The application lives as long as the process.
void cef_attach_web_extension(WebKitWebExtension* extension, const GVariant* user_data,
                              CefRefPtr<CefApp> application);

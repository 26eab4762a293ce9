// libquorrel-webkit.so: the helper inside a WebKit web process. WebKit
// loads it from the folder its browser process named as the web context's
// extensions folder and calls this entry point once per web process.
#include <gmodule.h>

#include "tk_cef_app.h"
#include "web_extension.h"

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(WebKitWebExtension* extension,
                                                                               const GVariant* user_data) {
  cef_enable_highdpi_support();
  cef_attach_web_extension(extension, user_data, new tarkel_cef::TKCefApp());
}

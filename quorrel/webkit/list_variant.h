// Process-message argument lists as GVariants, the form WebKit's user
// messages carry between the web process and the browser process. Both
// ends use this one codec: the extension and the browser-side library.
//
// A list is "av"; each element is a variant holding
//   null        "mv" (nothing)        bool    "b"      int   "i"
//   double      "d"                   string  "s", or "(ay)" with its UTF-8
//                                     bytes when it holds U+0000, which "s"
//                                     cannot carry
//   binary      "ay"                  dictionary "a{sv}" of elements
//   list        "av" of elements      invalid "()"
// Any other type reads as an invalid element.
#pragma once

#include <glib.h>

#include "cef_values.h"

namespace quorrel_webkit {

// Lists nested deeper than this are cut off: written as invalid, read as
// invalid. Ordinary data never comes close.
constexpr int kMaxVariantDepth = 64;

// A floating reference, as g_variant_new_* returns.
GVariant* ListToVariant(const CefRefPtr<CefListValue>& list);
// Appends the elements of an "av" variant to `list`; false, leaving the
// list alone, when `variant` is not "av".
bool ListFromVariant(GVariant* variant, CefListValue& list);

}  // namespace quorrel_webkit

// Strings between this layer and JavaScriptCore. The engine's own string
// conversions stop at the first U+0000 and at a lone surrogate half;
// these carry every JavaScript string whole: lone halves become U+FFFD on
// the way out, as everywhere else in the framework.
#pragma once

#include <jsc/jsc.h>

#include "cef_string.h"

namespace quorrel_webkit {

// The text of a string value.
CefString JscStringValue(JSCValue* string);
// A new string value of `context` (a new reference).
JSCValue* NewJscString(JSCContext* context, const CefString& text);

}  // namespace quorrel_webkit

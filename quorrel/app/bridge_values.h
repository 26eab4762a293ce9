// Conversions between page-script values and process-message list values
// for the bridge functions.
#pragma once

#include "cef_v8.h"
#include "cef_values.h"
#include "message_limits.h"

namespace tarkel_cef {

// Why a page's call cannot go out as a message. A call list is never cut
// to fit: the call is refused instead.
enum class ConversionFailure { None, TooManyValues, TooDeep, ContainsItself };

// How deep page arrays may nest: a call list is itself one level into its
// message.
constexpr int kMaxPageArrayDepth = kMaxValueDepth - 1;

// TKInvoke's call list: the name, then element k of `args` at index 1+k,
// null where an element cannot be converted. No `args` gives the name
// alone.
ConversionFailure InvokeCallList(const CefString& name, CefRefPtr<CefV8Value> args,
                                 CefRefPtr<CefListValue>& callList);

// TKCall's call list: as long as `arguments`, filled in order with the
// arguments that can be converted, so that it ends in one null for each
// that could not.
ConversionFailure CallCallList(const CefV8ValueList& arguments, CefRefPtr<CefListValue>& callList);

// The page-script value for element `index`, or no value (null pointer)
// for binary, dictionary and invalid elements and for empty lists. Needs
// an entered context.
CefRefPtr<CefV8Value> ListElementToV8(CefRefPtr<CefListValue> list, size_t index);

}  // namespace tarkel_cef

// Conversions between page-script values and process-message list values
// for the bridge functions.
#pragma once

#include "cef_v8.h"
#include "cef_values.h"

namespace tarkel_cef {

// How much of a page-script value the bridge will copy into one message.
// Arrays that contain themselves, nest deeper than kMaxDepth or add up to
// more than kMaxElements elements are cut off: the part beyond the limit
// is left out as an unconvertible value. Ordinary data never comes close.
struct ConversionBudget {
  static constexpr int kMaxDepth = 32;
  static constexpr size_t kMaxElements = size_t{1} << 18;
  size_t elementsLeft = kMaxElements;
};

// Stores `value` at `index` of `list`. Returns false when the value has no
// list form (plain object, function, null, undefined, or beyond the
// budget); the list is then left untouched. An empty array counts as
// converted but stores nothing, so its slot keeps what it had (null).
bool SetListValue(CefRefPtr<CefListValue> list, size_t index, CefRefPtr<CefV8Value> value,
                  ConversionBudget& budget);

// The page-script value for element `index`, or no value (null pointer)
// for binary, dictionary and invalid elements and for empty lists. Needs
// an entered context.
CefRefPtr<CefV8Value> ListElementToV8(CefRefPtr<CefListValue> list, size_t index);

}  // namespace tarkel_cef

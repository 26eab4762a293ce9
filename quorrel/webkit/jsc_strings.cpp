#include "jsc_strings.h"

#include <cstring>
#include <optional>
#include <string>

namespace quorrel_webkit {
namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<char16_t> escapedUnit(const char* text, size_t& i, size_t end) {
  switch (text[i]) {
    case '"':
      return u'"';
    case '\\':
      return u'\\';
    case '/':
      return u'/';
    case 'b':
      return u'\b';
    case 'f':
      return u'\f';
    case 'n':
      return u'\n';
    case 'r':
      return u'\r';
    case 't':
      return u'\t';
    case 'u':
      break;
    default:
      return std::nullopt;
  }
  if (i + 4 >= end) return std::nullopt;
  unsigned unit = 0;
  for (int k = 1; k <= 4; ++k) {
    const int digit = hexDigit(text[i + k]);
    if (digit < 0) return std::nullopt;
    unit = unit * 16 + static_cast<unsigned>(digit);
  }
  i += 4;
  return static_cast<char16_t>(unit);
}

// The engine writes a string as JSON with every lone surrogate half and
// control character escaped and everything else as UTF-8, so the UTF-16
// units come back exactly.
std::optional<std::u16string> decodeJsonString(const char* json) {
  const size_t length = std::strlen(json);
  if (length < 2 || json[0] != '"' || json[length - 1] != '"') return std::nullopt;
  const size_t end = length - 1;
  std::u16string out;
  std::string run;
  for (size_t i = 1; i < end; ++i) {
    if (json[i] != '\\') {
      run += json[i];
      continue;
    }
    if (++i >= end) return std::nullopt;
    const std::optional<char16_t> unit = escapedUnit(json, i, end);
    if (!unit) return std::nullopt;
    out += cef_string_utf8_to_utf16(run);
    run.clear();
    out += *unit;
  }
  return out + cef_string_utf8_to_utf16(run);
}

}  // namespace

CefString JscStringValue(JSCValue* string) {
  char* json = jsc_value_to_json(string, 0);
  std::optional<std::u16string> units = json ? decodeJsonString(json) : std::nullopt;
  g_free(json);
  if (units) return CefString(std::move(*units));
  char* plain = jsc_value_to_string(string);
  CefString text(plain ? plain : "");
  g_free(plain);
  return text;
}

JSCValue* NewJscString(JSCContext* context, const CefString& text) {
  const std::string utf8 = text.ToString();
  GBytes* bytes = g_bytes_new(utf8.data(), utf8.size());
  JSCValue* value = jsc_value_new_string_from_bytes(context, bytes);
  g_bytes_unref(bytes);
  return value;
}

}  // namespace quorrel_webkit

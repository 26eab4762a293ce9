// Strings at the framework boundary are UTF-16, as the engine sees them;
// everything that leaves the process is UTF-8.
#pragma once

#include <string>

// Both conversions replace malformed input (lone surrogates, invalid or
// overlong UTF-8) with U+FFFD so that output is always well formed.
std::string cef_string_utf16_to_utf8(const std::u16string& in);
std::u16string cef_string_utf8_to_utf16(const std::string& in);

// The form script engines that store text as UTF-8 bytes keep JavaScript
// strings in: every UTF-16 unit on its own (CESU-8), so that the halves of
// a pair, and a lone half, stay what the page wrote. Reading also takes the
// four-byte form and turns it into a pair; bytes that are no UTF-8 at all
// become U+FFFD.
std::string cef_string_utf16_to_cesu8(const std::u16string& in);
std::u16string cef_string_cesu8_to_utf16(const char* in, size_t length);

class CefString {
 public:
  CefString() = default;
  CefString(const char* utf8) : value_(cef_string_utf8_to_utf16(utf8 ? utf8 : "")) {}
  CefString(const std::string& utf8) : value_(cef_string_utf8_to_utf16(utf8)) {}
  CefString(std::u16string utf16) : value_(std::move(utf16)) {}

  std::string ToString() const { return cef_string_utf16_to_utf8(value_); }
  const std::u16string& ToString16() const { return value_; }
  bool empty() const { return value_.empty(); }
  size_t length() const { return value_.size(); }

  bool operator==(const CefString& other) const { return value_ == other.value_; }
  bool operator!=(const CefString& other) const { return value_ != other.value_; }
  bool operator<(const CefString& other) const { return value_ < other.value_; }

 private:
  std::u16string value_;
};

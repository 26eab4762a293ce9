#pragma once
// UTF-8 and wide text (UTF-32 wchar_t) in both directions. Malformed input
// never stops a conversion: a bad sequence or a lone surrogate becomes
// U+FFFD and the text after it comes through untouched.
#include <cstddef>
#include <string>

namespace platform {

std::wstring Utf8ToWide(const char* text, std::size_t length);
inline std::wstring Utf8ToWide(const std::string& text) {
  return Utf8ToWide(text.data(), text.size());
}
// Pairs of UTF-16 surrogates (text that passed through a UTF-16 world) are
// joined into one character.
std::string WideToUtf8(const wchar_t* text, std::size_t length);
inline std::string WideToUtf8(const std::wstring& text) {
  return WideToUtf8(text.data(), text.size());
}

}  // namespace platform

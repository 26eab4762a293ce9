#pragma once
// Conversions between the toolkit's wide strings and the byte encodings it
// meets (UTF-8 skins and file names, UTF-16 skins, Pango's UTF-8). Invalid
// input never fails: it becomes U+FFFD so a damaged skin still shows.
#include <cstddef>
#include <cstdint>
#include <string>

namespace SkinUI {

std::wstring Utf8ToWide(const char* data, std::size_t length);
inline std::wstring Utf8ToWide(const std::string& s) {
  return Utf8ToWide(s.data(), s.size());
}
std::string WideToUtf8(const wchar_t* data, std::size_t length);
inline std::string WideToUtf8(const std::wstring& s) {
  return WideToUtf8(s.data(), s.size());
}

enum class ByteOrder { Little, Big };
std::wstring Utf16ToWide(const std::uint8_t* data, std::size_t length, ByteOrder order);

// ASCII-only case folding: skin names and class texts are ASCII, and a
// locale-dependent fold would make lookups differ between machines.
bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
bool EqualsNoCase(const std::string& a, const std::string& b);

}  // namespace SkinUI

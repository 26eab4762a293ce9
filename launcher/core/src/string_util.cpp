#include "launcher/string_util.h"

#include <cwchar>

#include "platform/utf8.h"

std::wstring Utf8ToWide(const char* text, std::size_t length) {
  return platform::Utf8ToWide(text, length);
}

std::wstring Utf8ToWide(const std::string& text) {
  return platform::Utf8ToWide(text.data(), text.size());
}

std::string WideToUtf8(const std::wstring& text) {
  return platform::WideToUtf8(text.data(), text.size());
}

std::string WideToUtf8(const wchar_t* text) {
  return text == nullptr ? std::string() : platform::WideToUtf8(text, std::wcslen(text));
}

std::string WideToAnsi(const std::wstring& text) {
  return WideToUtf8(text);
}

std::string WideToAnsi(const wchar_t* text) {
  return WideToUtf8(text);
}

void SplitString(const std::string& text, const std::string& separator, std::vector<std::string>& out) {
  if (text.empty()) return;
  if (separator.empty()) {
    // Searching for an empty separator matches everywhere and would never
    // advance.
    out.push_back(text);
    return;
  }
  std::size_t position = text.find_first_not_of(separator);
  while (position != std::string::npos && position < text.size()) {
    std::size_t match = text.find(separator, position);
    std::size_t end = match == std::string::npos ? text.size() : match;
    if (end > position) out.push_back(text.substr(position, end - position));
    if (match == std::string::npos) break;
    position = match + separator.size();
  }
}

std::string ReplaceChar(const std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == from[0]) {
      out += to;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

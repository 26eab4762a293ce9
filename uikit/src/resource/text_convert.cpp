#include "skinui/text_convert.h"

namespace SkinUI {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Length of a UTF-8 sequence from its lead byte, 0 for a byte that cannot
// start one.
int sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool decodeOne(const unsigned char* p, int n, char32_t* out) {
  char32_t cp = n == 1 ? p[0] : n == 2 ? (p[0] & 0x1F) : n == 3 ? (p[0] & 0x0F) : (p[0] & 0x07);
  for (int i = 1; i < n; ++i) {
    if ((p[i] & 0xC0) != 0x80) return false;
    cp = (cp << 6) | (p[i] & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not characters.
  static const char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
  if (cp < kMin[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
  *out = cp;
  return true;
}

char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
wchar_t asciiLower(wchar_t c) {
  return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

}  // namespace

std::wstring Utf8ToWide(const char* data, std::size_t length) {
  std::wstring out;
  out.reserve(length);
  const auto* p = reinterpret_cast<const unsigned char*>(data);
  std::size_t i = 0;
  while (i < length) {
    int n = sequenceLength(p[i]);
    char32_t cp = 0;
    if (n == 0 || i + static_cast<std::size_t>(n) > length || !decodeOne(p + i, n, &cp)) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    out.push_back(static_cast<wchar_t>(cp));
    i += static_cast<std::size_t>(n);
  }
  return out;
}

std::string WideToUtf8(const wchar_t* data, std::size_t length) {
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    auto cp = static_cast<char32_t>(data[i]);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
      out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return out;
}

std::wstring Utf16ToWide(const std::uint8_t* data, std::size_t length, ByteOrder order) {
  std::wstring out;
  out.reserve(length / 2);
  auto unit = [&](std::size_t i) -> char32_t {
    return order == ByteOrder::Little ? static_cast<char32_t>(data[i] | (data[i + 1] << 8))
                                      : static_cast<char32_t>((data[i] << 8) | data[i + 1]);
  };
  // A trailing odd byte is not half a character we could show; drop it.
  std::size_t i = 0;
  while (i + 1 < length) {
    char32_t u = unit(i);
    i += 2;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < length) {
      char32_t low = unit(i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        out.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
        i += 2;
        continue;
      }
    }
    out.push_back((u >= 0xD800 && u <= 0xDFFF) ? kReplacement : static_cast<wchar_t>(u));
  }
  return out;
}

bool EqualsNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

bool EqualsNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace SkinUI

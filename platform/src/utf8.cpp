#include "platform/utf8.h"

#include <cstdint>
#include <cwchar>

namespace platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isContinuation(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

// Decodes one code point at text[i]. Returns the number of bytes taken; a
// malformed sequence takes its longest valid-looking prefix (at least one
// byte) and yields U+FFFD, so one bad byte never swallows good text after it.
std::size_t decodeOne(const unsigned char* text, std::size_t length, std::size_t i, char32_t* out) {
  unsigned char lead = text[i];
  if (lead < 0x80) {
    *out = lead;
    return 1;
  }
  std::size_t need;
  char32_t value;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 1, value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 2, value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 3, value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing past U+10FFFF
  } else {
    *out = kReplacement;
    return 1;
  }
  std::size_t taken = 1;
  for (std::size_t k = 0; k < need; ++k, ++taken) {
    if (i + taken >= length) break;
    unsigned char c = text[i + taken];
    bool ok = k == 0 ? (c >= low && c <= high) : isContinuation(c);
    if (!ok) break;
    value = (value << 6) | (c & 0x3F);
  }
  *out = taken == need + 1 ? value : kReplacement;
  return taken;
}

void appendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool isHighSurrogate(uint32_t v) {
  return v >= 0xD800 && v <= 0xDBFF;
}
bool isLowSurrogate(uint32_t v) {
  return v >= 0xDC00 && v <= 0xDFFF;
}

std::string wideToUtf8(const wchar_t* text, std::size_t length) {
  std::string out;
  out.reserve(length);
  for (std::size_t i = 0; i < length; ++i) {
    uint32_t v = static_cast<uint32_t>(text[i]);
    // Text that passed through a UTF-16 world may carry pairs; join them.
    if (isHighSurrogate(v) && i + 1 < length && isLowSurrogate(static_cast<uint32_t>(text[i + 1]))) {
      v = 0x10000 + ((v - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00);
      ++i;
    } else if (isHighSurrogate(v) || isLowSurrogate(v) || v > 0x10FFFF) {
      v = kReplacement;
    }
    appendUtf8(static_cast<char32_t>(v), &out);
  }
  return out;
}

}  // namespace

std::wstring Utf8ToWide(const char* text, std::size_t length) {
  std::wstring out;
  if (text == nullptr) return out;
  out.reserve(length);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  for (std::size_t i = 0; i < length;) {
    char32_t cp;
    i += decodeOne(bytes, length, i, &cp);
    out.push_back(static_cast<wchar_t>(cp));
  }
  return out;
}

std::string WideToUtf8(const wchar_t* text, std::size_t length) {
  return text == nullptr ? std::string() : wideToUtf8(text, length);
}

}  // namespace platform

#include "cef_string.h"

#include <cstdint>

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

void appendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    cp -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (cp >> 10));
    out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
  }
}

bool isHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}
bool isLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

bool isSurrogate(char32_t c) {
  return isHighSurrogate(c) || isLowSurrogate(c);
}

// Decodes one sequence at `i`, advancing past it. Surrogate code points
// encoded on their own (3-byte form) are returned as such: the engine keeps
// strings in that form and the caller pairs them up as UTF-16 units.
char32_t decodeUtf8(const char* in, size_t size, size_t& i) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(in[k]); };
  const uint8_t lead = byte(i);
  int extra = 0;
  char32_t cp = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    ++i;
    return lead;
  } else if ((lead & 0xE0) == 0xC0) {
    extra = 1, cp = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, cp = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, cp = lead & 0x07, minimum = 0x10000;
  } else {
    ++i;
    return kReplacement;
  }
  size_t k = i + 1;
  for (int n = 0; n < extra; ++n, ++k) {
    if (k >= size || (byte(k) & 0xC0) != 0x80) {
      i = k;
      return kReplacement;
    }
    cp = (cp << 6) | (byte(k) & 0x3F);
  }
  i = k;
  if (cp < minimum || cp > 0x10FFFF) return kReplacement;
  return cp;
}

}  // namespace

std::string cef_string_utf16_to_utf8(const std::u16string& in) {
  std::string out;
  out.reserve(in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    char32_t c = in[i];
    if (isHighSurrogate(c) && i + 1 < in.size() && isLowSurrogate(in[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (in[i + 1] - 0xDC00);
      ++i;
    } else if (isSurrogate(c)) {
      c = kReplacement;
    }
    appendUtf8(out, c);
  }
  return out;
}

std::u16string cef_string_utf8_to_utf16(const std::string& in) {
  std::u16string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i < in.size()) {
    const char32_t cp = decodeUtf8(in.data(), in.size(), i);
    if (isHighSurrogate(cp)) {
      // Pair only with an immediately following low half; alone it is malformed.
      size_t next = i;
      if (next < in.size()) {
        const char32_t low = decodeUtf8(in.data(), in.size(), next);
        if (isLowSurrogate(low)) {
          out += static_cast<char16_t>(cp);
          out += static_cast<char16_t>(low);
          i = next;
          continue;
        }
      }
      out += static_cast<char16_t>(kReplacement);
    } else if (isLowSurrogate(cp)) {
      out += static_cast<char16_t>(kReplacement);
    } else {
      appendUtf16(out, cp);
    }
  }
  return out;
}

std::string cef_string_utf16_to_cesu8(const std::u16string& in) {
  std::string out;
  out.reserve(in.size());
  for (char16_t unit : in) appendUtf8(out, unit);
  return out;
}

std::u16string cef_string_cesu8_to_utf16(const char* in, size_t length) {
  std::u16string out;
  out.reserve(length);
  size_t i = 0;
  while (i < length) {
    const char32_t cp = decodeUtf8(in, length, i);
    if (isSurrogate(cp))
      out += static_cast<char16_t>(cp);
    else
      appendUtf16(out, cp);
  }
  return out;
}

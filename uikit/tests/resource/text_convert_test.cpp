// Text conversions meet damaged skins and odd file names: invalid input must
// turn into replacement characters, never into characters it only resembles
// and never swallow the valid text after it.
#include "skinui/text_convert.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace SkinUI {
namespace {

constexpr wchar_t R = 0xFFFD;

std::wstring Wide(std::initializer_list<std::uint32_t> cps) {
  std::wstring w;
  for (std::uint32_t cp : cps) w.push_back(static_cast<wchar_t>(cp));
  return w;
}

TEST(Utf8Conversion, EverySequenceLengthRoundTrips) {
  const std::string utf8 = "A\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80";  // A, e-acute, a CJK ideograph, an emoji
  const std::wstring wide = Wide({'A', 0xE9, 0x4E2D, 0x1F600});
  EXPECT_EQ(Utf8ToWide(utf8), wide);
  EXPECT_EQ(WideToUtf8(wide), utf8);
  // Lengths, not terminators, bound the text.
  EXPECT_EQ(Utf8ToWide(std::string("a\0b", 3)), Wide({'a', 0, 'b'}));
  EXPECT_EQ(WideToUtf8(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
}

TEST(Utf8Conversion, InvalidBytesBecomeReplacementsAndKeepWhatFollows) {
  const struct {
    std::string bytes;
    std::wstring wide;
  } cases[] = {
      {"\x80", Wide({R})},  // continuation without a lead
      {"\xFF"
       "a",
       Wide({R, 'a'})},                          // never a lead byte
      {"\xE4\xB8", Wide({R, R})},                // cut off at the end
      {"\xE4\x41\x42", Wide({R, 'A', 'B'})},     // cut off by ASCII: the ASCII stays
      {"\xED\xA0\x80", Wide({R, R, R})},         // an encoded surrogate
      {"\xF4\x90\x80\x80", Wide({R, R, R, R})},  // past U+10FFFF
      {"x\xF0\x9F\x98", Wide({'x', R, R, R})},   // a four-byte sequence missing its end
  };
  for (const auto& c : cases) EXPECT_EQ(Utf8ToWide(c.bytes), c.wide) << c.bytes.size() << " bytes";
}

TEST(Utf8Conversion, OverlongFormsNeverBecomeMarkupCharacters) {
  // "<", "/" and "\"" written with more bytes than they need: a reader that
  // accepted these would let a damaged skin smuggle markup past checks.
  for (const char* overlong : {"\xC0\xBC", "\xC0\xAF", "\xE0\x80\xA2", "\xF0\x80\x80\xBC"}) {
    const std::wstring w = Utf8ToWide(overlong);
    EXPECT_EQ(w.find_first_not_of(R), std::wstring::npos) << overlong;
  }
}

TEST(Utf8Conversion, UnencodableWideCharactersBecomeReplacements) {
  EXPECT_EQ(WideToUtf8(Wide({0xD800})), "\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(Wide({'a', 0xDFFF, 'b'})),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(WideToUtf8(Wide({0x110000})), "\xEF\xBF\xBD");
  EXPECT_EQ(WideToUtf8(Wide({0x7FF, 0x800, 0xFFFF, 0x10000, 0x10FFFF})),
            "\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
}

std::wstring FromUtf16(const std::string& bytes, ByteOrder order) {
  return Utf16ToWide(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), order);
}

TEST(Utf16Conversion, PairsJoinInEitherByteOrder) {
  EXPECT_EQ(FromUtf16(std::string("A\0-N=\xD8\x00\xDE", 8), ByteOrder::Little), Wide({'A', 0x4E2D, 0x1F600}));
  EXPECT_EQ(FromUtf16(std::string("\0AN-\xD8=\xDE\x00", 8), ByteOrder::Big), Wide({'A', 0x4E2D, 0x1F600}));
}

TEST(Utf16Conversion, BrokenPairsAndOddBytesDoNotCorruptTheText) {
  // A high surrogate followed by a plain character: the character survives.
  EXPECT_EQ(FromUtf16(std::string("\x3D\xD8"
                                  "A\0",
                                  4),
                      ByteOrder::Little),
            Wide({R, 'A'}));
  // A high surrogate at the very end, and a low one on its own.
  EXPECT_EQ(FromUtf16(std::string("A\0\x3D\xD8", 4), ByteOrder::Little), Wide({'A', R}));
  EXPECT_EQ(FromUtf16(std::string("\x00\xDE"
                                  "B\0",
                                  4),
                      ByteOrder::Little),
            Wide({R, 'B'}));
  // A trailing odd byte is dropped, not read past the end.
  EXPECT_EQ(FromUtf16(std::string("A\0B", 3), ByteOrder::Little), Wide({'A'}));
  EXPECT_EQ(FromUtf16(std::string("\0", 1), ByteOrder::Big), std::wstring());
}

TEST(CaseFolding, OnlyAsciiLettersFold) {
  EXPECT_TRUE(EqualsNoCase(std::wstring(L"ButtonUI"), std::wstring(L"buttonui")));
  EXPECT_FALSE(EqualsNoCase(std::wstring(L"ButtonUI"), std::wstring(L"ButtonU")));
  EXPECT_FALSE(EqualsNoCase(std::wstring(L"TextUI"), std::wstring(L"TextUJ")));
  // Outside ASCII nothing folds, whatever the locale would say.
  EXPECT_FALSE(EqualsNoCase(Wide({0xC9}), Wide({0xE9})));
  EXPECT_TRUE(EqualsNoCase(std::string("LAUNCHER.XML"), std::string("launcher.xml")));
  EXPECT_FALSE(EqualsNoCase(std::string("launcher.xml"), std::string("launcher.xm")));
  EXPECT_FALSE(EqualsNoCase(std::string("a[b"), std::string("a{b")));  // '[' and '{' differ by 0x20 too
}

}  // namespace
}  // namespace SkinUI

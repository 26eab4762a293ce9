#include "launcher/string_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr wchar_t kBad = L'\uFFFD';

TEST(TextConversion, RoundTripsEveryEncodedLength) {
  // One, two, three and four byte forms, including the full-width comma.
  const std::string utf8 = "A\xC3\xA9\xEF\xBC\x8C\xE4\xB8\xAD\xF0\x9F\x98\x80";
  std::wstring wide = Utf8ToWide(utf8);
  EXPECT_EQ(wide, (std::wstring{L'A', L'\u00E9', L'\uFF0C', L'\u4E2D', static_cast<wchar_t>(0x1F600)}));
  EXPECT_EQ(WideToUtf8(wide), utf8);
  EXPECT_EQ(WideToAnsi(wide), utf8);
  EXPECT_EQ(WideToUtf8(wide.c_str()), utf8);
  EXPECT_EQ(Utf8ToWide(""), L"");
  EXPECT_EQ(WideToUtf8(static_cast<const wchar_t*>(nullptr)), "");
}

TEST(TextConversion, ExplicitLengthKeepsEmbeddedNulAndStopsAtLength) {
  const char text[] = {'a', '\0', 'b', 'c'};
  EXPECT_EQ(Utf8ToWide(text, 3), std::wstring(L"a\0b", 3));
  EXPECT_EQ(Utf8ToWide(nullptr, 5), L"");
  // A multi-byte form cut by the length is malformed, not read past.
  EXPECT_EQ(Utf8ToWide("\xE4\xB8\xAD", 2), std::wstring(1, kBad));
}

TEST(TextConversion, MalformedUtf8BecomesReplacementWithoutEatingGoodText) {
  struct Case {
    std::string input;
    std::wstring expected;
  };
  const std::vector<Case> cases = {
      {"\x80x", {kBad, L'x'}},                                // lone continuation byte
      {"\xC0\x80x", {kBad, kBad, L'x'}},                      // overlong NUL
      {"\xE0\x80\xAFx", {kBad, kBad, kBad, L'x'}},            // overlong three-byte form
      {"\xED\xA0\x80x", {kBad, kBad, kBad, L'x'}},            // UTF-16 surrogate
      {"\xF4\x90\x80\x80x", {kBad, kBad, kBad, kBad, L'x'}},  // past U+10FFFF
      {"\xF5\x80x", {kBad, kBad, L'x'}},                      // lead byte never valid
      {"\xE4\xB8x", {kBad, L'x'}},                            // truncated: one replacement
      {"\xF0\x9F\x98", {kBad}},                               // truncated at the end
      {"\xFF\xFE", {kBad, kBad}},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToWide(c.input), c.expected) << testing::PrintToString(c.input);
}

TEST(TextConversion, ImpossibleWideValuesBecomeReplacementAndPairsJoin) {
  std::wstring wide = {L'a', static_cast<wchar_t>(0xD800), L'b', static_cast<wchar_t>(0xDC00),
                       static_cast<wchar_t>(0x110000)};
  EXPECT_EQ(WideToUtf8(wide),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD\xEF\xBF\xBD");
  std::wstring pair = {static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
  EXPECT_EQ(WideToUtf8(pair), "\xF0\x9F\x98\x80");
}

std::vector<std::string> split(const std::string& text, const std::string& separator) {
  std::vector<std::string> out = {"kept"};
  SplitString(text, separator, out);
  out.erase(out.begin());
  return out;
}

TEST(SplitString, SkipsLeadingRunsAndEmptyPieces) {
  using V = std::vector<std::string>;
  EXPECT_EQ(split("\\a\\\\b\\", "\\"), (V{"a", "b"}));
  EXPECT_EQ(split("C:\\x\\file.zip", "\\"), (V{"C:", "x", "file.zip"}));
  EXPECT_EQ(split("a--b---c", "--"), (V{"a", "b", "-c"}));
  EXPECT_EQ(split("", "\\"), V{});
  EXPECT_EQ(split("\\\\\\", "\\"), V{});
  EXPECT_EQ(split("single", "\\"), V{"single"});
}

TEST(SplitString, AppendsToExistingListAndSurvivesEmptySeparator) {
  std::vector<std::string> out = {"first"};
  SplitString("x/y", "/", out);
  EXPECT_EQ(out, (std::vector<std::string>{"first", "x", "y"}));
  EXPECT_EQ(split("abc", ""), std::vector<std::string>{"abc"});
}

TEST(ReplaceChar, ReplacesEachOccurrenceWithWholeText) {
  EXPECT_EQ(ReplaceChar("bin/1.0/a.dll", "/", "\\"), "bin\\1.0\\a.dll");
  EXPECT_EQ(ReplaceChar("a/b", "/", "::"), "a::b");
  EXPECT_EQ(ReplaceChar("a/b", "/", ""), "ab");
  EXPECT_EQ(ReplaceChar("a/b", "", "x"), "a/b");
  EXPECT_EQ(ReplaceChar("", "/", "x"), "");
}

}  // namespace

// Skin fonts name Windows faces that this system lacks: each must resolve
// to a family list Pango can use, with the installed CJK face as fallback.
#include "skinui/font.h"

#include <gtest/gtest.h>

#include <string>

namespace SkinUI {
namespace {

TEST(SkinFonts, WindowsFacesFallBackToTheCjkFaceAndTheirGenericFamily) {
  EXPECT_EQ(ResolveFontFamilies(L"宋体"), "宋体,WenQuanYi Micro Hei,serif");
  EXPECT_EQ(ResolveFontFamilies(L"simsun"), "simsun,WenQuanYi Micro Hei,serif");
  EXPECT_EQ(ResolveFontFamilies(L"雅黑"), "雅黑,WenQuanYi Micro Hei,sans-serif");
  EXPECT_EQ(ResolveFontFamilies(L"Tahoma"), "Tahoma,WenQuanYi Micro Hei,sans-serif");
  EXPECT_EQ(ResolveFontFamilies(L""), "sans-serif");
}

TEST(SkinFonts, CommaInAFaceNameCannotAddFamilies) {
  EXPECT_EQ(ResolveFontFamilies(L"Evil,Monospace"), "Evil Monospace,WenQuanYi Micro Hei,sans-serif");
}

TEST(SkinFonts, DescriptionCarriesSizeWeightAndStyle) {
  auto font = CreateSkinFont(L"雅黑", 14, true, true, true);
  ASSERT_TRUE(font && font->desc);
  EXPECT_TRUE(pango_font_description_get_size_is_absolute(font->desc.get()));
  EXPECT_EQ(pango_font_description_get_size(font->desc.get()), 14 * PANGO_SCALE);
  EXPECT_EQ(pango_font_description_get_weight(font->desc.get()), PANGO_WEIGHT_BOLD);
  EXPECT_EQ(pango_font_description_get_style(font->desc.get()), PANGO_STYLE_ITALIC);
  EXPECT_TRUE(font->underline);
  EXPECT_STREQ(pango_font_description_get_family(font->desc.get()), "雅黑,WenQuanYi Micro Hei,sans-serif");

  auto plain = CreateSkinFont(L"", 0, false, false, false);
  EXPECT_EQ(plain->size, kDefaultFontPixels);
  EXPECT_EQ(pango_font_description_get_weight(plain->desc.get()), PANGO_WEIGHT_NORMAL);
  EXPECT_EQ(pango_font_description_get_style(plain->desc.get()), PANGO_STYLE_NORMAL);
}

TEST(SkinFonts, LongFaceNamesAreCutToTheRecordSize) {
  const std::wstring longName(40, L'F');
  auto font = CreateSkinFont(longName, 12, false, false, false);
  EXPECT_EQ(font->faceName, std::wstring(kMaxFaceNameChars, L'F'));
}

TEST(SkinFonts, PrewarmingTwiceIsHarmlessAndFontsStillResolve) {
  PrewarmFonts();
  PrewarmFonts();
  auto font = CreateSkinFont(L"宋体", 14, false, false, false);
  EXPECT_EQ(font->faceName, L"宋体");
}

}  // namespace
}  // namespace SkinUI

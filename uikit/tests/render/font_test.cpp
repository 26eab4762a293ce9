// Skin fonts name Windows faces that this system lacks: each must resolve
// to a family list Pango can use, with the installed CJK face as fallback.
// Text drawn with them keeps to one line when the label asks for it.
#include "skinui/font.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "skinui/image.h"
#include "skinui/render_text.h"

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

// The first and last rows of `rc` that hold any ink of `text` drawn there.
std::pair<int, int> InkRows(const std::wstring& text, const TFontInfo* font, const RECT& rc, UINT style) {
  CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, rc.right, rc.bottom));
  {
    CairoPtr cr(cairo_create(surface.get()));
    DrawSkinText(cr.get(), rc, text, 0xFF000000, font, style, false, nullptr);
  }
  cairo_surface_flush(surface.get());
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  int first = -1;
  int last = -1;
  for (int y = 0; y < rc.bottom; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    for (int x = 0; x < rc.right; ++x) {
      if (row[x] >> 24 == 0) continue;
      if (first < 0) first = y;
      last = y;
      break;
    }
  }
  return {first, last};
}

TEST(SkinText, SingleLineTextStaysOnOneLineWhereOtherTextWraps) {
  auto font = CreateSkinFont(L"雅黑", 14, false, false, false);
  const std::wstring text = L"인터넷 오류가 발생하였습니다. 다시 시도해 주십시오.";
  const SIZE whole = MeasureSkinText(text, font.get(), false);
  ASSERT_GT(whole.cx, 100);
  const RECT half{0, 0, whole.cx / 2, 3 * whole.cy};
  const auto [top, bottom] = InkRows(text, font.get(), half, DT_SINGLELINE | DT_VCENTER);
  ASSERT_GE(top, 0) << "nothing drawn";
  EXPECT_LT(bottom - top, whole.cy) << "a single-line label broke its text into lines";
  const auto [wrapTop, wrapBottom] = InkRows(text, font.get(), half, DT_VCENTER);
  EXPECT_GT(wrapBottom - wrapTop, whole.cy) << "text without the single-line flag wraps";
}

}  // namespace
}  // namespace SkinUI

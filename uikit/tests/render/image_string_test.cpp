#include "skinui/image_string.h"

#include <gtest/gtest.h>

namespace SkinUI {
namespace {

TEST(ImageStringParse, BareNameAndKeyValuePairs) {
  ImageDrawSpec bare;
  ParseImageString(L"bg_luanch.png", &bare);
  EXPECT_EQ(bare.file, L"bg_luanch.png");
  EXPECT_FALSE(bare.hasDest);

  ImageDrawSpec s;
  ParseImageString(
      L"file='a.png' restype='PNG' dest='1,2,3,4' source='0,0,8,8' corner='2,2,2,2' mask='#FF00FF' "
      L"fade='128' hole='true' xtiled='true' ytiled='false' unknown='x'",
      &s);
  EXPECT_EQ(s.file, L"a.png");
  EXPECT_EQ(s.resType, L"PNG");
  EXPECT_TRUE(s.hasDest);
  EXPECT_EQ(s.dest.right, 3);
  EXPECT_EQ(s.source.bottom, 8);
  EXPECT_EQ(s.corner.left, 2);
  EXPECT_EQ(s.mask, 0xFF00FFu);
  EXPECT_EQ(s.fade, 128);
  EXPECT_TRUE(s.hole);
  EXPECT_TRUE(s.xtiled);
  EXPECT_FALSE(s.ytiled);
}

TEST(ImageStringParse, ModifierOverridesAndMalformedInputStopsSafely) {
  ImageDrawSpec s;
  ParseImageString(L"file='p.png' corner='12,5,12,5'", &s);
  ParseImageString(L"dest='0,0,270,32'", &s);
  EXPECT_EQ(s.file, L"p.png");
  EXPECT_EQ(s.corner.right, 12);
  EXPECT_EQ(s.dest.right, 270);

  ImageDrawSpec broken;
  ParseImageString(L"file='x.png' dest='1,2", &broken);
  EXPECT_EQ(broken.file, L"x.png");
  EXPECT_FALSE(broken.hasDest);
  ParseImageString(L"fade='999'", &broken);
  EXPECT_EQ(broken.fade, 255);
}

TEST(ImageStringParse, ColoursAndRects) {
  EXPECT_EQ(ParseColor(L"#FFF0F0F0"), 0xFFF0F0F0u);
  EXPECT_EQ(ParseColor(L"#00000000"), 0u);
  EXPECT_EQ(ParseColor(L"#123456"), 0xFF123456u);
  RECT rc{};
  EXPECT_TRUE(ParseRect(L"545,0,0,0", &rc));
  EXPECT_EQ(rc.left, 545);
  EXPECT_FALSE(ParseRect(L"1,2,3", &rc));
  EXPECT_FALSE(ParseRect(L"", &rc));
}

class NineGrid : public ::testing::Test {
 protected:
  // A 6x6 image: 2-pixel corners in four colours, edges grey, centre white.
  void SetUp() override {
    m_img.bitmap.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 6, 6));
    m_img.width = m_img.height = 6;
    auto* data = cairo_image_surface_get_data(m_img.bitmap.get());
    const int stride = cairo_image_surface_get_stride(m_img.bitmap.get());
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 6; ++x) {
        std::uint32_t c = 0xFF808080u;
        const bool cx = x < 2 || x >= 4;
        const bool cy = y < 2 || y >= 4;
        if (cx && cy) c = x < 2 ? (y < 2 ? 0xFFFF0000u : 0xFF0000FFu) : (y < 2 ? 0xFF00FF00u : 0xFFFFFF00u);
        if (!cx && !cy) c = 0xFFFFFFFFu;
        reinterpret_cast<std::uint32_t*>(data + y * stride)[x] = c;
      }
    }
    cairo_surface_mark_dirty(m_img.bitmap.get());
    m_target.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 40, 30));
    m_cr.reset(cairo_create(m_target.get()));
  }
  std::uint32_t At(int x, int y) {
    cairo_surface_flush(m_target.get());
    auto* data = cairo_image_surface_get_data(m_target.get());
    return reinterpret_cast<std::uint32_t*>(data + y * cairo_image_surface_get_stride(m_target.get()))[x];
  }
  TImageInfo m_img;
  CairoSurfacePtr m_target;
  CairoPtr m_cr;
};

TEST_F(NineGrid, CornersKeepTheirSizeWhileTheCentreStretches) {
  const RECT dest{5, 5, 35, 25};
  DrawImageNineGrid(m_cr.get(), m_img, dest, dest, {0, 0, 6, 6}, {2, 2, 2, 2}, 255, false, false, false);
  EXPECT_EQ(At(5, 5), 0xFFFF0000u);
  EXPECT_EQ(At(6, 6), 0xFFFF0000u);
  EXPECT_EQ(At(7, 7), 0xFFFFFFFFu);
  EXPECT_EQ(At(34, 5), 0xFF00FF00u);
  EXPECT_EQ(At(33, 6), 0xFF00FF00u);
  EXPECT_EQ(At(32, 6), 0xFF808080u);
  EXPECT_EQ(At(5, 24), 0xFF0000FFu);
  EXPECT_EQ(At(34, 24), 0xFFFFFF00u);
  EXPECT_EQ(At(20, 15), 0xFFFFFFFFu);
  EXPECT_EQ(At(4, 4), 0u);
  EXPECT_EQ(At(35, 25), 0u);
}

TEST_F(NineGrid, HoleSkipsTheCentreAndFadeScalesOpacity) {
  const RECT dest{0, 0, 20, 20};
  DrawImageNineGrid(m_cr.get(), m_img, dest, dest, {0, 0, 6, 6}, {2, 2, 2, 2}, 255, true, false, false);
  EXPECT_EQ(At(10, 10), 0u);
  EXPECT_EQ(At(0, 0), 0xFFFF0000u);

  const RECT faded{20, 0, 26, 6};
  DrawImageNineGrid(m_cr.get(), m_img, faded, faded, {0, 0, 6, 6}, {}, 128, false, false, false);
  EXPECT_EQ(At(20, 0) >> 24, 128u);
}

TEST_F(NineGrid, ClipLimitsWhatIsPainted) {
  const RECT dest{0, 0, 30, 30};
  const RECT clip{0, 0, 10, 30};
  DrawImageNineGrid(m_cr.get(), m_img, dest, clip, {0, 0, 6, 6}, {}, 255, false, false, false);
  EXPECT_NE(At(9, 15), 0u);
  EXPECT_EQ(At(10, 15), 0u);
}

TEST_F(NineGrid, TilingRepeatsAtNaturalSize) {
  const RECT dest{0, 0, 18, 6};
  DrawImageNineGrid(m_cr.get(), m_img, dest, dest, {0, 0, 6, 6}, {}, 255, false, true, false);
  // Without corners the whole image is the centre; it repeats every 6 px.
  EXPECT_EQ(At(0, 0), 0xFFFF0000u);
  EXPECT_EQ(At(6, 0), 0xFFFF0000u);
  EXPECT_EQ(At(12, 0), 0xFFFF0000u);
  EXPECT_EQ(At(16, 0), 0xFF00FF00u);
}

}  // namespace
}  // namespace SkinUI

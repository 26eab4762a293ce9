// The shadow bitmap against alphas worked out by hand from the outline, the
// erosion and the kernel: trunc((1 - d / (sharpness + 1)) * darkness) for the
// distance d to the nearest kernel centre, zero under the parent.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "launcher/window/shadow_render.h"

namespace {

// The launcher's own shadow.
ShadowParams LauncherShadow() {
  ShadowParams p;
  p.size = 4;
  p.sharpness = 8;
  p.darkness = 100;
  p.xOffset = 0;
  p.yOffset = 2;
  p.colour = 0x000000;
  return p;
}

struct Rendered {
  int width;
  int height;
  std::vector<std::uint32_t> bits;
  // x, y counted from the top-left, as on screen.
  std::uint32_t At(int x, int y) const {
    return bits[static_cast<std::size_t>((height - 1 - y) * width + x)];
  }
  int Alpha(int x, int y) const { return static_cast<int>(At(x, y) >> 24); }
};

Rendered Render(int parentWidth, int parentHeight, const ShadowParams& p) {
  Rendered r{ShadowExtent(parentWidth, p), ShadowExtent(parentHeight, p), {}};
  r.bits.assign(static_cast<std::size_t>(r.width * r.height), 0);
  RenderShadow(r.bits.data(), r.width, r.height, RectangleOutline(parentWidth, parentHeight), parentWidth, p);
  return r;
}

TEST(RenderShadow, SmallWindowWithTheLauncherParameters) {
  // 20 x 10: after four erosions only parent rows 4 and 5 keep a span,
  // [8, 20) in shadow columns, so kernel centres fill x 8..19, y 8..9.
  const Rendered r = Render(20, 10, LauncherShadow());
  ASSERT_EQ(r.width, 28);
  ASSERT_EQ(r.height, 18);
  struct Case {
    int x, y, alpha;
  } cases[] = {
      {0, 0, 0},     // sqrt(128) from (8,8): beyond the radius
      {4, 0, 0},     // sqrt(80) > 8
      {8, 0, 11},    // d = 8
      {13, 1, 22},   // d = 7
      {5, 1, 15},    // sqrt(58)
      {2, 8, 33},    // d = 6
      {3, 12, 35},   // sqrt(34) from (8,9)
      {10, 12, 66},  // d = 3, just below the window
      {10, 17, 11},  // d = 8, the last row
      {27, 9, 11},   // d = 8 from (19,9)
      {26, 5, 15},   // sqrt(58) from (19,8)
      {24, 11, 40},  // sqrt(29), first column right of the window
      {10, 5, 0},    // under the window
      {4, 2, 0},     // the window's top-left pixel (shifted 2 down)
      {23, 11, 0},   // the window's bottom-right pixel
  };
  for (const Case& c : cases) EXPECT_EQ(r.Alpha(c.x, c.y), c.alpha) << "at " << c.x << "," << c.y;
}

TEST(RenderShadow, LauncherWindowReachesFourPixelsOutAndIsClearedUnderTheWindow) {
  const Rendered r = Render(600, 300, LauncherShadow());
  ASSERT_EQ(r.width, 608);
  ASSERT_EQ(r.height, 308);
  EXPECT_EQ(r.Alpha(0, 0), 0);
  EXPECT_EQ(r.Alpha(3, 3), 21);    // sqrt(50) from the corner centre (8,8)
  EXPECT_EQ(r.Alpha(4, 4), 0);     // the window's top-left pixel
  EXPECT_EQ(r.Alpha(300, 0), 11);  // top edge: 8 above the centres' row
  EXPECT_EQ(r.Alpha(300, 1), 22);
  EXPECT_EQ(r.Alpha(300, 2), 0);     // the window starts 2 rows down
  EXPECT_EQ(r.Alpha(3, 150), 44);    // 5 left of the centres' column
  EXPECT_EQ(r.Alpha(604, 150), 44);  // 5 right of column 599
  EXPECT_EQ(r.Alpha(603, 150), 0);
  EXPECT_EQ(r.Alpha(300, 150), 0);
  EXPECT_EQ(r.Alpha(300, 301), 0);   // the window's last row
  EXPECT_EQ(r.Alpha(300, 302), 66);  // 3 below the centres' last row 299
  EXPECT_EQ(r.Alpha(300, 307), 11);
  // Black stays black: only alpha carries the shadow.
  EXPECT_EQ(r.At(300, 302), 66u << 24);
  // Left-right symmetric with no horizontal offset.
  for (int y = 0; y < 308; y += 7)
    for (int x = 0; x < 20; ++x) ASSERT_EQ(r.At(x, y), r.At(607 - x, y)) << x << "," << y;
}

TEST(RenderShadow, ColourIsPremultipliedByTheAlpha) {
  EXPECT_EQ(ShadowPixel(0xFF8000, 100), 0x64643200u);  // 128 * 100 / 255 = 50
  EXPECT_EQ(ShadowPixel(0xFFFFFF, 255), 0xFFFFFFFFu);
  EXPECT_EQ(ShadowPixel(0x123456, 0), 0u);
  ShadowParams p = LauncherShadow();
  p.colour = 0xFF8000;
  const Rendered r = Render(20, 10, p);
  EXPECT_EQ(r.At(10, 12), ShadowPixel(0xFF8000, 66));
}

TEST(RenderShadow, ASizeBeyondTheSharpnessHasASolidCore) {
  // Size 10, sharpness 2: no erosion, kernel radius 10 with a core of 8 at
  // full darkness; the centres ring the 4 x 4 window at shadow 10..13.
  ShadowParams p;
  p.size = 10;
  p.sharpness = 2;
  p.darkness = 90;
  p.xOffset = 0;
  p.yOffset = 0;
  const Rendered r = Render(4, 4, p);
  ASSERT_EQ(r.width, 24);
  EXPECT_EQ(r.Alpha(3, 11), 90);  // d = 7, inside the core
  EXPECT_EQ(r.Alpha(5, 5), 90);   // sqrt(50)
  EXPECT_EQ(r.Alpha(0, 0), 0);    // sqrt(200) > 10
  EXPECT_EQ(r.Alpha(11, 11), 0);  // under the window
}

TEST(RenderShadow, OffsetsLargerThanTheShadowNeverWriteOutsideTheBitmap) {
  // Offsets that move the cut past the bitmap and a tiny parent: every write
  // must stay inside (the sanitizer build checks), and nothing is cut.
  ShadowParams p = LauncherShadow();
  p.xOffset = 100;
  p.yOffset = -100;
  const Rendered r = Render(3, 2, p);
  EXPECT_EQ(r.width, 11);
  EXPECT_EQ(r.height, 10);
  std::vector<std::uint32_t> none(0);
  RenderShadow(nullptr, 0, 0, {}, 0, p);  // nothing to draw into: no crash
  ShadowParams wide = LauncherShadow();
  wide.size = 0;
  wide.sharpness = 20;
  const Rendered small = Render(5, 5, wide);
  EXPECT_EQ(small.Alpha(2, 2), 0);
}

}  // namespace

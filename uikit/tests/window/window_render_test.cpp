// The test skin built from its folder and painted headless: layout and the
// pixels that prove each painting rule.
#include <gtest/gtest.h>

#include <cstdio>

#include "skinui/host_headless.h"
#include "skinui/progress.h"
#include "skinui/skin_resources.h"
#include "test_skin.h"

namespace SkinUI {
namespace {

constexpr std::uint32_t kBg = 0xFF2850A0u;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kBlue = 0xFF0000FFu;
constexpr std::uint32_t kGreen = 0xFF00C800u;

class SkinRender : public ::testing::Test {
 protected:
  void SetUp() override {
    UseHeadlessHost();
    ResourceStore::Reset();
    ASSERT_NE(m_wnd.Create(0, L"render", WS_POPUP, 0), 0u);
    m_progress = static_cast<CProgressUI*>(m_wnd.FindControl(L"prog_stat"));
    ASSERT_NE(m_progress, nullptr);
  }
  void TearDown() override { ResourceStore::Reset(); }

  void Paint() { m_surface = RenderWindow(m_wnd); }
  std::uint32_t At(int x, int y) const {
    auto* data = cairo_image_surface_get_data(m_surface.get());
    return reinterpret_cast<const std::uint32_t*>(data +
                                                  y * cairo_image_surface_get_stride(m_surface.get()))[x];
  }
  int FilledColumns(int row) const {
    int n = 0;
    for (int x = 0; x < 600; ++x) n += At(x, row) != kBg ? 1 : 0;
    return n;
  }

  test::RecordingWindow m_wnd;
  CProgressUI* m_progress = nullptr;
  CairoSurfacePtr m_surface;
};

TEST_F(SkinRender, WindowTakesTheSkinSizeAndPaintsTheBackground) {
  EXPECT_EQ(m_wnd.GetClientRect().Width(), 600);
  EXPECT_EQ(m_wnd.GetClientRect().Height(), 300);
  EXPECT_EQ(m_wnd.skinReady, 1);
  Paint();
  EXPECT_EQ(At(300, 150), kBg);
  EXPECT_EQ(At(0, 0), kBg);
  const RECT pos = m_progress->GetPos();
  EXPECT_EQ(pos.left, 30);
  EXPECT_EQ(pos.top, 244);
  EXPECT_EQ(pos.Width(), 540);
  EXPECT_EQ(pos.Height(), 32);
  const RECT close = m_wnd.FindControl(L"closebtn")->GetPos();
  EXPECT_EQ(close.left, 545);
  EXPECT_EQ(close.Width(), 37);
}

TEST_F(SkinRender, HalfProgressFillsExactlyHalfTheBarWithItsCorners) {
  m_progress->SetValue(50);
  Paint();
  EXPECT_EQ(FilledColumns(260), 270);
  EXPECT_NE(At(299, 260), kBg);
  EXPECT_EQ(At(300, 260), kBg);
  // The nine-grid corners of the fore image keep their 12 x 5 size at both
  // ends of the 270-pixel fill.
  EXPECT_EQ(At(30, 244), kRed);
  EXPECT_EQ(At(41, 248), kRed);
  EXPECT_EQ(At(42, 244), kBlue);
  EXPECT_EQ(At(299, 244), kRed);
  EXPECT_EQ(At(288, 244), kRed);
  EXPECT_EQ(At(287, 244), kBlue);
  EXPECT_EQ(At(150, 260), kGreen);
}

TEST_F(SkinRender, OverfullProgressFillsTheWholeBar) {
  m_progress->SetValue(150);
  Paint();
  EXPECT_EQ(FilledColumns(260), 540);
  EXPECT_EQ(At(569, 275), kRed);
}

TEST_F(SkinRender, EmptyRangeTreatsMaxAsMinPlusOne) {
  m_progress->SetMinValue(0);
  m_progress->SetMaxValue(0);
  m_progress->SetValue(0);
  EXPECT_EQ(m_progress->FillRect().right, 0);
  m_progress->SetValue(5);
  EXPECT_EQ(m_progress->FillRect().right, 540);
  m_progress->SetMaxValue(100);
  m_progress->SetValue(25);
  m_progress->SetHorizontal(false);
  const RECT vertical = m_progress->FillRect();
  EXPECT_EQ(vertical.top, 24);
  EXPECT_EQ(vertical.bottom, 32);
  EXPECT_EQ(vertical.right, 540);
}

TEST_F(SkinRender, NineGridCornersAreCopiedPixelForPixel) {
  Paint();
  // The "grid" control spans (10,110)-(110,170); its 4-pixel corners are
  // checkerboards that any scaling would smear.
  EXPECT_EQ(At(10, 110), kRed);
  EXPECT_EQ(At(11, 110), 0xFF000000u);
  EXPECT_EQ(At(13, 113), kRed);
  EXPECT_EQ(At(108, 110), 0xFF00FF00u);
  EXPECT_EQ(At(109, 110), 0xFF000000u);
  EXPECT_EQ(At(108, 168), 0xFFFFFF00u);
  EXPECT_EQ(At(60, 140), 0xFF808080u);
}

TEST_F(SkinRender, MaskColourAndAlphaBlendOverTheFill) {
  Paint();
  EXPECT_EQ(At(121, 115), kBlue);        // magenta masked away: the fill shows
  EXPECT_EQ(At(127, 115), 0xFFFFFFFFu);  // the rest of the image is drawn
  EXPECT_EQ(At(140, 110), 0xFF643219u);  // half-transparent over black
}

TEST_F(SkinRender, MissingImageIsForgottenAndTheControlStillPaints) {
  CControlUI* missing = m_wnd.FindControl(L"missing");
  ASSERT_NE(missing, nullptr);
  Paint();
  EXPECT_TRUE(missing->GetBkImage().empty());
  EXPECT_EQ(At(425, 115), kBg);
}

TEST_F(SkinRender, TextInTheFallbackFaceReachesThePixels) {
  m_wnd.FindControl(L"output_line")->SetText(L"正在检查 update");
  Paint();
  // Anti-aliased glyphs: count pixels pulled well towards white.
  int light = 0;
  for (int y = 207; y < 237; ++y) {
    for (int x = 50; x < 550; ++x) light += ((At(x, y) >> 16) & 0xFF) > 160 ? 1 : 0;
  }
  EXPECT_GT(light, 60);
  // Centred: nothing near the left end of the 500-pixel line.
  for (int y = 207; y < 237; ++y) EXPECT_EQ(At(55, y), kBg);
}

TEST_F(SkinRender, PngOutputMatchesTheFrame) {
  m_progress->SetValue(50);
  const std::string path = "/tmp/uikit-render-" + std::to_string(::getpid()) + ".png";
  ASSERT_TRUE(RenderWindowToPng(m_wnd, path));
  CairoSurfacePtr png(cairo_image_surface_create_from_png(path.c_str()));
  std::remove(path.c_str());
  ASSERT_EQ(cairo_surface_status(png.get()), CAIRO_STATUS_SUCCESS);
  EXPECT_EQ(cairo_image_surface_get_width(png.get()), 600);
  m_surface = std::move(png);
  EXPECT_EQ(FilledColumns(260), 270);
}

}  // namespace
}  // namespace SkinUI

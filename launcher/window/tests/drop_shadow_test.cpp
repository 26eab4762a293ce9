// The shadow window following its parent on the headless host: shown with
// it, moved with it, hidden while it is minimised or hidden, redrawn on
// shrink at once and on growth at the next paint, and gone with it.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "launcher/window/drop_shadow.h"
#include "skinui/host_headless.h"

using namespace SkinUI;

namespace {

class PlainWindow : public CWindowWnd {
 public:
  const wchar_t* WindowClassName() const override { return L"plain_parent"; }
};

class DropShadowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loop_ = &UseHeadlessHost();
    CDropShadow::ResetRegistration();
    ASSERT_TRUE(CDropShadow::RegisterShadowClass(this));
    ASSERT_NE(parent_.Create(0, L"parent", WS_POPUP, 0, 100, 100, 200, 100), 0u);
    shadow_.SetSize(4);
    shadow_.SetPosition(0, 2);
    shadow_.SetSharpness(8);
    shadow_.SetDarkness(100);
    shadow_.AttachShadow(&parent_);
    ASSERT_NE(shadow_.ShadowWindow(), nullptr);
  }
  void TearDown() override {
    parent_.DestroyWindow();
    loop_->RunPending();
    CDropShadow::ResetRegistration();
  }
  RECT ShadowRect() const { return shadow_.ShadowWindow()->GetWindowRect(); }
  bool ShadowShown() const { return shadow_.ShadowWindow()->GetHost()->IsVisible(); }

  HeadlessEventLoop* loop_ = nullptr;
  PlainWindow parent_;
  CDropShadow shadow_;
};

TEST_F(DropShadowTest, RegistrationHappensOnce) {
  EXPECT_FALSE(CDropShadow::RegisterShadowClass(this));
}

TEST_F(DropShadowTest, AppearsWithTheParentAndFollowsItsMoves) {
  EXPECT_FALSE(shadow_.ShadowVisible());
  EXPECT_FALSE(ShadowShown());
  parent_.ShowWindow(true, true);
  ASSERT_TRUE(shadow_.ShadowVisible());
  EXPECT_TRUE(ShadowShown());
  // 4 beyond every side, 2 further down.
  RECT rc = ShadowRect();
  EXPECT_EQ(rc.left, 96);
  EXPECT_EQ(rc.top, 98);
  EXPECT_EQ(rc.Width(), 208);
  EXPECT_EQ(rc.Height(), 108);
  parent_.GetHost()->Move(300, 40);
  rc = ShadowRect();
  EXPECT_EQ(rc.left, 296);
  EXPECT_EQ(rc.top, 38);
}

TEST_F(DropShadowTest, MinimisingOrHidingTheParentHidesTheShadow) {
  parent_.ShowWindow(true, true);
  parent_.GetHost()->Minimize();
  EXPECT_FALSE(shadow_.ShadowVisible());
  EXPECT_FALSE(ShadowShown());
  // A move while minimised leaves the hidden shadow alone.
  const RECT before = ShadowRect();
  parent_.GetHost()->Move(500, 500);
  EXPECT_EQ(ShadowRect().left, before.left);
  parent_.GetHost()->Restore();
  EXPECT_TRUE(shadow_.ShadowVisible());
  EXPECT_TRUE(ShadowShown());
  EXPECT_EQ(ShadowRect().left, 496);

  parent_.ShowWindow(false, false);
  EXPECT_FALSE(shadow_.ShadowVisible());
  EXPECT_FALSE(ShadowShown());
  parent_.ShowWindow(true, true);
  EXPECT_TRUE(ShadowShown());
}

// Per-pixel alpha shows only while something composites the screen;
// without it the shadow would be a black frame, so it goes and comes back
// with composition, and a resize meanwhile does not bring it back.
TEST_F(DropShadowTest, TheShadowFollowsCompositionStoppingAndResuming) {
  parent_.ShowWindow(true, true);
  ASSERT_TRUE(ShadowShown());
  loop_->SetCompositionEnabled(false);
  parent_.SendMessage(WM_DWMCOMPOSITIONCHANGED, 0, 0);
  EXPECT_FALSE(shadow_.ShadowVisible());
  EXPECT_FALSE(ShadowShown());
  parent_.GetHost()->Resize(150, 80);
  EXPECT_FALSE(ShadowShown());
  loop_->SetCompositionEnabled(true);
  parent_.SendMessage(WM_DWMCOMPOSITIONCHANGED, 0, 0);
  EXPECT_TRUE(ShadowShown());
  EXPECT_EQ(ShadowRect().Width(), 158) << "redrawn for the size the parent has now";
}

TEST_F(DropShadowTest, ShrinkRedrawsAtOnceGrowthWaitsForThePaint) {
  parent_.ShowWindow(true, true);
  // The size report a real window system sends once the window is mapped
  // gives the shadow its reference size.
  parent_.GetHost()->Resize(200, 100);
  parent_.GetHost()->Resize(150, 80);
  EXPECT_EQ(ShadowRect().Width(), 158);
  EXPECT_EQ(ShadowRect().Height(), 88);
  parent_.GetHost()->Resize(300, 120);
  EXPECT_EQ(ShadowRect().Width(), 158) << "growth is covered by the parent until it paints";
  parent_.SendMessage(WM_PAINT, 0, 0);
  EXPECT_EQ(ShadowRect().Width(), 308);
  EXPECT_EQ(ShadowRect().Height(), 128);
}

TEST_F(DropShadowTest, PaintsTheRenderedBitmapTopDown) {
  parent_.ShowWindow(true, true);
  CairoSurfacePtr surface = RenderWindow(*shadow_.ShadowWindow());
  ASSERT_TRUE(surface);
  ASSERT_EQ(cairo_image_surface_get_width(surface.get()), 208);
  const int stride = cairo_image_surface_get_stride(surface.get());
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  auto pixel = [&](int x, int y) {
    return *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
  };
  // Below the window: 3 under the last row of kernel centres (shadow row
  // 99), so alpha trunc((1 - 3/9) * 100) = 66.
  EXPECT_EQ(pixel(100, 102) >> 24, 66u);
  EXPECT_EQ(pixel(100, 0) >> 24, 11u);  // the top edge is the thin one
  EXPECT_EQ(pixel(100, 50), 0u);        // under the window
}

TEST_F(DropShadowTest, TheShadowWindowGoesWithItsParent) {
  parent_.ShowWindow(true, true);
  parent_.DestroyWindow();
  EXPECT_EQ(shadow_.ShadowWindow()->GetHWND(), 0u);
  loop_->RunPending();
}

}  // namespace

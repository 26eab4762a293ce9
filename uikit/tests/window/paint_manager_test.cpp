// The paint manager's own rules: message filters that run before the
// controls, receivers that leave while being notified, the image cache,
// rounded painting, double clicks and the process-wide resource calls.
#include <gtest/gtest.h>

#include <filesystem>

#include "skinui/button.h"
#include "skinui/embedded_resource.h"
#include "skinui/host_headless.h"
#include "skinui/skin_resources.h"
#include "skinui/text_convert.h"
#include "test_skin.h"

namespace SkinUI {
namespace {

class PaintManagerRules : public ::testing::Test {
 protected:
  void SetUp() override {
    m_loop = &UseHeadlessHost();
    ResourceStore::Reset();
    ASSERT_NE(m_wnd.Create(0, L"pm", WS_POPUP, 0), 0u);
  }
  void TearDown() override { ResourceStore::Reset(); }
  PaintManager& Pm() { return m_wnd.GetPaintManager(); }
  CButtonUI* Close() { return static_cast<CButtonUI*>(m_wnd.FindControl(L"closebtn")); }
  void Send(UINT msg, int x, int y) {
    m_wnd.SendMessage(msg, msg == WM_LBUTTONUP ? WPARAM{0} : WPARAM{MK_LBUTTON}, MAKELPARAM(x, y));
  }

  HeadlessEventLoop* m_loop = nullptr;
  test::RecordingWindow m_wnd;
};

class SwallowPresses : public IMessageFilterUI {
 public:
  LRESULT MessageHandler(UINT uMsg, WPARAM, LPARAM, bool& bHandled) override {
    bHandled = uMsg == WM_LBUTTONDOWN;
    return bHandled ? 42 : 0;
  }
};

TEST_F(PaintManagerRules, FilterThatHandlesAMessageKeepsItFromTheControls) {
  SwallowPresses filter;
  EXPECT_TRUE(Pm().AddPreMessageFilter(&filter));
  EXPECT_FALSE(Pm().AddPreMessageFilter(&filter));
  EXPECT_FALSE(Pm().AddPreMessageFilter(nullptr));
  EXPECT_EQ(m_wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(560, 10)), 42);
  EXPECT_EQ(Close()->GetButtonState() & UISTATE_PUSHED, 0u);
  EXPECT_EQ(Pm().GetFocus(), nullptr);
  EXPECT_TRUE(Pm().RemovePreMessageFilter(&filter));
  EXPECT_FALSE(Pm().RemovePreMessageFilter(&filter));
  Send(WM_LBUTTONDOWN, 560, 10);
  EXPECT_NE(Close()->GetButtonState() & UISTATE_PUSHED, 0u);
}

// Removes another receiver the first time it is notified.
class Remover : public INotifyUI {
 public:
  Remover(PaintManager* pm, INotifyUI* victim) : m_pm(pm), m_victim(victim) {}
  void Notify(TNotifyUI&) override {
    ++count;
    if (m_victim != nullptr) m_pm->RemoveNotifier(m_victim);
  }
  int count = 0;

 private:
  PaintManager* m_pm;
  INotifyUI* m_victim;
};

TEST_F(PaintManagerRules, ReceiverRemovedDuringANotificationIsNotCalled) {
  Remover victim(&Pm(), nullptr);
  Remover remover(&Pm(), &victim);
  EXPECT_TRUE(Pm().AddNotifier(&remover));
  EXPECT_TRUE(Pm().AddNotifier(&victim));
  EXPECT_FALSE(Pm().AddNotifier(&victim));
  EXPECT_FALSE(Pm().AddNotifier(nullptr));
  Pm().SendNotify(Close(), L"custom");
  EXPECT_EQ(remover.count, 1);
  EXPECT_EQ(victim.count, 0);
  EXPECT_FALSE(Pm().RemoveNotifier(&victim));
  EXPECT_TRUE(Pm().RemoveNotifier(&remover));
  // The window itself is still a receiver.
  EXPECT_EQ(m_wnd.notes.back(), L"custom:closebtn");
}

TEST_F(PaintManagerRules, DoubleClickOnAButtonStillClicks) {
  Send(WM_LBUTTONDOWN, 560, 10);
  Send(WM_LBUTTONUP, 560, 10);
  Send(WM_LBUTTONDBLCLK, 560, 10);
  EXPECT_NE(Close()->GetButtonState() & UISTATE_PUSHED, 0u);
  Send(WM_LBUTTONUP, 560, 10);
  EXPECT_EQ(m_wnd.clicks.size(), 2u);
}

TEST_F(PaintManagerRules, KeysWithoutAFocusedControlAreNotConsumed) {
  LRESULT lRes = 1;
  EXPECT_FALSE(Pm().MessageHandler(WM_KEYDOWN, VK_RETURN, 0, lRes));
  EXPECT_FALSE(Pm().MessageHandler(WM_CHAR, 'a', 0, lRes));
  Close()->SetFocus();
  EXPECT_TRUE(Pm().MessageHandler(WM_CHAR, 'a', 0, lRes));
  EXPECT_TRUE(m_wnd.clicks.empty());
  EXPECT_TRUE(Pm().MessageHandler(WM_KEYDOWN, VK_RETURN, 0, lRes));
  EXPECT_EQ(m_wnd.clicks.size(), 1u);
}

std::uint32_t Pixel(cairo_surface_t* s, int x, int y) {
  return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(s) +
                                                y * cairo_image_surface_get_stride(s))[x];
}

TEST_F(PaintManagerRules, RoundCornersStayTransparentOutsideTheOutline) {
  Pm().SetRoundCorner(40, 40);
  CairoSurfacePtr frame = RenderWindow(m_wnd);
  ASSERT_TRUE(frame);
  for (POINT p : {POINT{0, 0}, POINT{599, 0}, POINT{0, 299}, POINT{599, 299}})
    EXPECT_EQ(Pixel(frame.get(), p.x, p.y), 0u) << p.x << "," << p.y;
  EXPECT_EQ(Pixel(frame.get(), 300, 150), 0xFF2850A0u);
  EXPECT_EQ(Pixel(frame.get(), 0, 150), 0xFF2850A0u);  // straight edges are kept
  EXPECT_EQ(Pixel(frame.get(), 300, 0), 0xFF2850A0u);
}

TEST_F(PaintManagerRules, WindowAttributesParseOrStayUnchanged) {
  Pm().SetWindowAttribute(L"defaultfontcolor", L"#FF112233");
  Pm().SetWindowAttribute(L"disabledfontcolor", L"#FF445566");
  Pm().SetWindowAttribute(L"maxinfo", L"800,600");
  Pm().SetWindowAttribute(L"mininfo", L"not,numbers");
  Pm().SetWindowAttribute(L"unknown", L"1");
  EXPECT_EQ(Pm().GetDefaultFontColor(), 0xFF112233u);
  EXPECT_EQ(Pm().GetDefaultDisabledColor(), 0xFF445566u);
  EXPECT_EQ(Pm().GetMaxInfo().cx, 800);
  EXPECT_EQ(Pm().GetMinInfo().cx, 0);
  EXPECT_EQ(Pm().GetFontCount(), 2);
  // An index outside the font list gives the default font.
  EXPECT_EQ(Pm().GetFont(7), Pm().GetDefaultFontInfo());
  EXPECT_EQ(Pm().GetFont(-1), Pm().GetDefaultFontInfo());
  EXPECT_NE(Pm().GetFont(0), Pm().GetDefaultFontInfo());
}

void WritePng(const std::string& path, int size) {
  CairoSurfacePtr s(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size));
  ASSERT_EQ(cairo_surface_write_to_png(s.get(), path.c_str()), CAIRO_STATUS_SUCCESS);
}

TEST_F(PaintManagerRules, ImagesAreCachedUntilRemovedByName) {
  char tmpl[] = "/tmp/uikit-images-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  ResourceStore::SetResourcePath(Utf8ToWide(dir));
  WritePng(dir + "/pic.png", 2);
  WritePng(dir + "/pic", 5);
  const TImageInfo* first = Pm().GetImageEx(L"pic.png", L"", kNoMask);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->width, 2);
  ASSERT_NE(Pm().GetImageEx(L"pic", L"", kNoMask), nullptr);
  WritePng(dir + "/pic.png", 3);
  EXPECT_EQ(Pm().GetImageEx(L"pic.png", L"", kNoMask)->width, 2);  // cached
  // Removing "pic" keeps "pic.png", and the reverse.
  Pm().RemoveImage(L"pic");
  EXPECT_EQ(Pm().GetImageEx(L"pic.png", L"", kNoMask)->width, 2);
  Pm().RemoveImage(L"pic.png");
  EXPECT_EQ(Pm().GetImageEx(L"pic.png", L"", kNoMask)->width, 3);
  EXPECT_EQ(Pm().GetImageEx(L"", L"", kNoMask), nullptr);
  // A typed image names a linked resource by number only.
  EXPECT_EQ(Pm().GetImageEx(L"31x", L"PNG", kNoMask), nullptr);
  std::filesystem::remove_all(dir);
}

TEST_F(PaintManagerRules, ProcessWideResourceCalls) {
  int instance = 0;
  PaintManager::SetInstance(&instance);
  EXPECT_EQ(PaintManager::GetInstance(), &instance);
  EXPECT_EQ(PaintManager::GetInstancePath(), GetModuleFolder());
  PaintManager::SetResourcePath(L"/opt/skin");
  EXPECT_EQ(PaintManager::GetResourcePath(), L"/opt/skin/");
  const EmbeddedResource* zip = FindEmbeddedResource("ZIPRES", 102);
  ASSERT_NE(zip, nullptr);
  EXPECT_TRUE(PaintManager::SetResourceZip(zip->data, zip->size));
  EXPECT_TRUE(ResourceStore::IsResourceZipMemBuffer());
  PaintManager::SetInstance(nullptr);
}

}  // namespace
}  // namespace SkinUI

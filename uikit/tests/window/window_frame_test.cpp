// The borderless frame: what a skinned window asks of its host (size limits,
// shape, drags, system commands, cursor and capture) and how it answers the
// non-client messages a frame would otherwise handle.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "recording_host.h"
#include "skinui/label.h"
#include "skinui/skin_resources.h"
#include "skinui/text_convert.h"
#include "test_skin.h"

namespace SkinUI {
namespace {

// Resizable, with rounded corners, size limits and all four system buttons.
constexpr const char* kFrameSkin = R"(<?xml version="1.0" encoding="utf-8"?>
<Window size="400,200" sizebox="4,4,4,4" caption="0,0,0,40" roundcorner="8,8" mininfo="300,150" maxinfo="900,700">
  <VerticalLayout bkcolor="#FF808080">
    <Button name="minbtn" float="true" pos="280,0,310,30" />
    <Button name="maxbtn" float="true" pos="310,0,340,30" />
    <Button name="restorebtn" float="true" pos="310,0,340,30" visible="false" />
    <Button name="closebtn" float="true" pos="340,0,370,30" />
  </VerticalLayout>
</Window>
)";

class FrameWindow : public test::RecordingWindow {
 public:
  LRESULT OnWmClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override {
    closeCodes.push_back(wParam);
    if (refuseClose) return 0;
    return RecordingWindow::OnWmClose(uMsg, wParam, lParam, bHandled);
  }
  bool refuseClose = false;
  std::vector<WPARAM> closeCodes;
};

class SkinFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    m_loop = &test::UseRecordingHost();
    ResourceStore::Reset();
    char tmpl[] = "/tmp/uikit-frame-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    std::ofstream(m_dir + "/frame.xml") << kFrameSkin;
    m_wnd.m_folder = Utf8ToWide(m_dir);
    m_wnd.m_file = L"frame.xml";
    ASSERT_NE(m_wnd.Create(0, L"frame", WS_POPUP, 0, 100, 50, 10, 10), 0u);
  }
  void TearDown() override {
    std::filesystem::remove_all(m_dir);
    ResourceStore::Reset();
  }
  bool Logged(const std::string& call) const {
    return std::find(m_loop->calls.begin(), m_loop->calls.end(), call) != m_loop->calls.end();
  }
  // What the host does with a left press at a screen point.
  void PressAt(int screenX, int screenY) {
    const LPARAM screen = MAKELPARAM(screenX, screenY);
    const LRESULT ht = m_wnd.SendMessage(WM_NCHITTEST, 0, screen);
    if (ht == HTCLIENT) {
      m_wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(screenX - 100, screenY - 50));
    } else {
      m_wnd.SendMessage(WM_NCLBUTTONDOWN, static_cast<WPARAM>(ht), screen);
    }
  }
  void Click(const wchar_t* name) {
    const RECT r = m_wnd.FindControl(name)->GetPos();
    const LPARAM at = MAKELPARAM(r.left + 5, r.top + 5);
    m_wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, at);
    m_wnd.SendMessage(WM_LBUTTONUP, 0, at);
  }
  bool Visible(const wchar_t* name) { return m_wnd.FindControl(name)->IsVisible(); }

  test::RecordingEventLoop* m_loop = nullptr;
  std::string m_dir;
  FrameWindow m_wnd;
};

TEST_F(SkinFrame, CreationGivesTheHostTheSkinSizeLimitsAndShape) {
  EXPECT_TRUE(Logged("resize 400 200"));
  // Smallest size from the skin, largest the work area.
  EXPECT_TRUE(Logged("limits 300x150 1280x800"));
  EXPECT_TRUE(Logged("round 8 8"));
  MINMAXINFO mmi{};
  mmi.ptMaxPosition = {5, 5};
  m_wnd.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  EXPECT_EQ(mmi.ptMaxPosition.x, 0);
  EXPECT_EQ(mmi.ptMaxTrackSize.x, 1280);
  EXPECT_EQ(mmi.ptMaxTrackSize.y, 800);
  EXPECT_EQ(mmi.ptMinTrackSize.x, 300);
  EXPECT_EQ(mmi.ptMinTrackSize.y, 150);
  EXPECT_EQ(m_wnd.GetPaintManager().GetMaxInfo().cx, 900);
}

TEST_F(SkinFrame, ShapeFollowsSizeReportsButNotMinimising) {
  m_loop->calls.clear();
  m_wnd.SendMessage(WM_SIZE, SIZE_MINIMIZED, 0);
  EXPECT_FALSE(Logged("round 8 8"));
  m_wnd.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(500, 250));
  EXPECT_TRUE(Logged("round 8 8"));
}

TEST_F(SkinFrame, CaptionPressesMoveEdgePressesResize) {
  PressAt(100 + 200, 50 + 20);
  EXPECT_TRUE(Logged("move drag 300 70"));
  PressAt(100 + 398, 50 + 100);
  EXPECT_TRUE(Logged("resize drag " + std::to_string(HTRIGHT) + " 498 150"));
  PressAt(100 + 1, 50 + 198);
  EXPECT_TRUE(Logged("resize drag " + std::to_string(HTBOTTOMLEFT) + " 101 248"));
  m_loop->calls.clear();
  PressAt(100 + 200, 50 + 100);  // the client area: no drag of any kind
  PressAt(100 + 325, 50 + 15);   // a button inside the caption band
  for (const std::string& call : m_loop->calls) EXPECT_EQ(call.find("drag"), std::string::npos) << call;
}

TEST_F(SkinFrame, MaximisedWindowHasNoResizeBands) {
  Click(L"maxbtn");
  ASSERT_TRUE(m_wnd.IsMaximized());
  // Maximised at the work area's origin: client and screen coincide.
  EXPECT_EQ(m_wnd.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(1, 400)), HTCLIENT);
  EXPECT_EQ(m_wnd.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(600, 1)), HTCAPTION);
}

TEST_F(SkinFrame, SystemButtonsDriveTheHostAndSwapMaximiseAndRestore) {
  ASSERT_TRUE(Visible(L"maxbtn"));
  ASSERT_FALSE(Visible(L"restorebtn"));
  Click(L"maxbtn");
  EXPECT_TRUE(Logged("maximize"));
  EXPECT_FALSE(Visible(L"maxbtn"));
  EXPECT_TRUE(Visible(L"restorebtn"));
  // The restore button sits where the maximise button was.
  Click(L"restorebtn");
  EXPECT_TRUE(Logged("restore"));
  EXPECT_FALSE(m_wnd.IsMaximized());
  EXPECT_TRUE(Visible(L"maxbtn"));
  EXPECT_FALSE(Visible(L"restorebtn"));
  Click(L"minbtn");
  EXPECT_TRUE(Logged("minimize"));
  EXPECT_TRUE(m_wnd.IsMinimized());
  EXPECT_EQ(m_wnd.clicks, (std::vector<std::wstring>{L"maxbtn", L"restorebtn", L"minbtn"}));
}

TEST_F(SkinFrame, ButtonsFollowAMaximiseTheWindowSystemReports) {
  // Maximised from outside (a window manager), reported only as a size.
  m_wnd.SendMessage(WM_SIZE, SIZE_MAXIMIZED, MAKELPARAM(1280, 800));
  EXPECT_FALSE(Visible(L"maxbtn"));
  EXPECT_TRUE(Visible(L"restorebtn"));
  m_wnd.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(400, 200));
  EXPECT_TRUE(Visible(L"maxbtn"));
  EXPECT_FALSE(Visible(L"restorebtn"));
}

TEST_F(SkinFrame, CaptionDoubleClickTogglesMaximised) {
  m_wnd.SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(300, 70));
  EXPECT_TRUE(m_wnd.IsMaximized());
  m_wnd.SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(300, 20));
  EXPECT_FALSE(m_wnd.IsMaximized());
  m_wnd.SendMessage(WM_NCLBUTTONDBLCLK, HTLEFT, MAKELPARAM(100, 70));
  EXPECT_FALSE(m_wnd.IsMaximized());
}

TEST_F(SkinFrame, CursorAndCaptureFollowTheButton) {
  m_loop->calls.clear();
  m_wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(345, 10));
  m_wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(345, 10));
  m_wnd.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(200, 100));
  m_wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(200, 100));
  const std::vector<std::string> expected = {"cursor hand", "capture on", "capture off", "cursor arrow"};
  EXPECT_EQ(m_loop->calls, expected);
}

TEST_F(SkinFrame, NonClientMessagesOfAFramelessWindow) {
  EXPECT_EQ(m_wnd.SendMessage(WM_NCACTIVATE, 0, 0), 1);
  EXPECT_EQ(m_wnd.SendMessage(WM_NCACTIVATE, 1, 0), 0);
  EXPECT_EQ(m_wnd.SendMessage(WM_NCPAINT, 0, 0), 0);
  RECT rc{100, 50, 500, 250};
  EXPECT_EQ(m_wnd.SendMessage(WM_NCCALCSIZE, 1, reinterpret_cast<LPARAM>(&rc)), 0);
  EXPECT_EQ(rc.right, 500);
  EXPECT_EQ(rc.bottom, 250);
  m_wnd.SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_EQ(m_wnd.SendMessage(WM_NCCALCSIZE, 1, reinterpret_cast<LPARAM>(&rc)), WVR_REDRAW);
  EXPECT_EQ(rc.left, 100);
  EXPECT_EQ(rc.right, 100 + 1280);
  EXPECT_EQ(rc.bottom, 50 + 800);
  // Minimised, activation is left to the default, which allows it.
  m_wnd.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(m_wnd.SendMessage(WM_NCACTIVATE, 1, 0), 1);
}

TEST_F(SkinFrame, CloseIsTheWindowsDecision) {
  m_wnd.refuseClose = true;
  m_wnd.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
  m_wnd.Close(7);
  m_loop->RunPending();
  EXPECT_NE(m_wnd.GetHWND(), 0u);
  EXPECT_EQ(m_wnd.closeCodes, (std::vector<WPARAM>{0, 7}));
  m_wnd.refuseClose = false;
  Click(L"closebtn");
  m_loop->RunPending();
  EXPECT_EQ(m_wnd.GetHWND(), 0u);
  EXPECT_EQ(m_wnd.closeCodes.back(), 1u);
  EXPECT_TRUE(Logged("destroy"));
  EXPECT_EQ(m_wnd.afterDestroy, 1);
  // Closing a window that is gone posts nothing.
  m_wnd.Close(3);
  EXPECT_EQ(m_loop->RunPending(), 0);
}

TEST(SkinLinks, HandCursorOnlyOverTheLinkItself) {
  test::RecordingEventLoop& loop = test::UseRecordingHost();
  ResourceStore::Reset();
  test::RecordingWindow wnd;
  ASSERT_NE(wnd.Create(0, L"links", WS_POPUP, 0), 0u);
  RenderWindow(wnd);  // links get their rectangles when painted
  auto* text = static_cast<CTextUI*>(wnd.FindControl(L"link"));
  ASSERT_NE(text, nullptr);
  ASSERT_EQ(text->GetLinks().size(), 1u);
  EXPECT_NE(text->GetInterface(L"Text"), nullptr);
  const RECT link = text->GetLinks()[0].rect;
  loop.calls.clear();
  wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(link.left + 1, link.top + 1));
  wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(text->GetPos().right - 2, link.top + 1));
  wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(link.left + 1, link.top + 1));
  EXPECT_EQ(loop.calls, (std::vector<std::string>{"cursor hand", "cursor arrow", "cursor hand"}));
  // A disabled text shows no hand and sends no link.
  text->SetEnabled(false);
  loop.calls.clear();
  wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(link.left + 2, link.top + 1));
  EXPECT_EQ(loop.calls, (std::vector<std::string>{"cursor arrow"}));
  wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(link.left + 2, link.top + 1));
  wnd.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(link.left + 2, link.top + 1));
  EXPECT_EQ(std::count(wnd.notes.begin(), wnd.notes.end(), L"link:link"), 0);
}

// Overrides the handlers that default to "not handled", to see each gets
// its own message with its parameters.
class HandlerLog : public test::RecordingWindow {
 public:
  LRESULT record(const char* name, WPARAM w, LPARAM l, bool& handled) {
    seen.push_back(std::string(name) + " " + std::to_string(w) + " " + std::to_string(l));
    handled = false;
    return 0;
  }
  LRESULT OnWmMouseWheel(UINT, WPARAM w, LPARAM l, bool& h) override { return record("wheel", w, l, h); }
  LRESULT OnWmMouseHover(UINT, WPARAM w, LPARAM l, bool& h) override { return record("hover", w, l, h); }
  LRESULT OnWmChar(UINT, WPARAM w, LPARAM l, bool& h) override { return record("char", w, l, h); }
  LRESULT OnWmKeyDown(UINT, WPARAM w, LPARAM l, bool& h) override { return record("keydown", w, l, h); }
  LRESULT OnWmKillFocus(UINT, WPARAM w, LPARAM l, bool& h) override { return record("killfocus", w, l, h); }
  LRESULT OnWmSetFocus(UINT, WPARAM w, LPARAM l, bool& h) override { return record("setfocus", w, l, h); }
  LRESULT OnWmLButtonDown(UINT, WPARAM w, LPARAM l, bool& h) override { return record("down", w, l, h); }
  LRESULT OnWmLButtonUp(UINT, WPARAM w, LPARAM l, bool& h) override { return record("up", w, l, h); }
  LRESULT OnWmMouseMove(UINT, WPARAM w, LPARAM l, bool& h) override { return record("move", w, l, h); }
  LRESULT OnWmDestroy(UINT, WPARAM w, LPARAM l, bool& h) override { return record("destroy", w, l, h); }
  std::vector<std::string> seen;
};

TEST(SkinWindowDispatch, EachMessageReachesItsOwnHandlerThenTheControls) {
  UseHeadlessHost();
  ResourceStore::Reset();
  HandlerLog wnd;
  ASSERT_NE(wnd.Create(0, L"dispatch", WS_POPUP, 0), 0u);
  const struct {
    UINT msg;
    const char* name;
  } cases[] = {{WM_MOUSEWHEEL, "wheel"}, {WM_MOUSEHOVER, "hover"},    {WM_CHAR, "char"},
               {WM_KEYDOWN, "keydown"},  {WM_KILLFOCUS, "killfocus"}, {WM_SETFOCUS, "setfocus"},
               {WM_MOUSEMOVE, "move"},   {WM_LBUTTONDOWN, "down"},    {WM_LBUTTONUP, "up"}};
  for (const auto& c : cases) {
    wnd.seen.clear();
    wnd.SendMessage(c.msg, 3, MAKELPARAM(560, 10));
    EXPECT_EQ(wnd.seen,
              (std::vector<std::string>{std::string(c.name) + " 3 " + std::to_string(MAKELPARAM(560, 10))}));
  }
  // Not handled by the window, the press and release went on to the close
  // button, which clicked.
  EXPECT_EQ(wnd.clicks, (std::vector<std::wstring>{L"closebtn"}));
  wnd.seen.clear();
  wnd.DestroyWindow();
  EXPECT_EQ(wnd.seen, (std::vector<std::string>{"destroy 0 0"}));
  EXPECT_EQ(wnd.WindowStyle() & WS_CAPTION, 0u);
}

// Windows that follow another window: owned ones centre on their owner.
class PlainWindow : public CWindowWnd {
 public:
  const wchar_t* WindowClassName() const override { return L"uikit_plain"; }
  void AfterDestroy(HWND) override { ++afterDestroy; }
  int afterDestroy = 0;
};

TEST(PlainWindows, OwnedWindowsCentreOnTheOwnerInsideTheWorkArea) {
  UseHeadlessHost();
  PlainWindow owner;
  ASSERT_NE(owner.Create(0, L"owner", WS_POPUP, 0, RECT{200, 100, 800, 400}), 0u);
  PlainWindow owned;
  ASSERT_NE(owned.Create(owner, L"owned", WS_POPUP, 0, 0, 0, 200, 100), 0u);
  EXPECT_EQ(owned.Create(owner, L"again", WS_POPUP, 0), owned.GetHWND());  // created once
  owned.CenterWindow();
  EXPECT_EQ(owned.GetWindowRect().left, 400);
  EXPECT_EQ(owned.GetWindowRect().top, 200);
  // The owner near the bottom-right corner: the owned window stays inside.
  owner.GetHost()->Move(1000, 700);
  owned.CenterWindow();
  EXPECT_EQ(owned.GetWindowRect().right, 1280);
  EXPECT_EQ(owned.GetWindowRect().bottom, 800);
  owner.GetHost()->Move(-900, -600);
  owned.CenterWindow();
  EXPECT_EQ(owned.GetWindowRect().left, 0);
  EXPECT_EQ(owned.GetWindowRect().top, 0);
}

TEST(PlainWindows, DeletedWithoutDestroyItsHandleDiesQuietly) {
  HeadlessEventLoop& loop = UseHeadlessHost();
  HWND hwnd = 0;
  {
    PlainWindow wnd;
    hwnd = wnd.Create(0, L"short", WS_POPUP, 0, 0, 0, 10, 10);
    ASSERT_NE(hwnd, 0u);
    EXPECT_EQ(FromHandle(hwnd), &wnd);
  }
  EXPECT_EQ(FromHandle(hwnd), nullptr);
  // Posting to it is accepted and then dropped on the loop.
  EXPECT_TRUE(PostMessage(hwnd, WM_CLOSE, 0, 0));
  EXPECT_EQ(loop.RunPending(), 1);
  EXPECT_FALSE(PostMessage(0, WM_CLOSE, 0, 0));
}

TEST(PlainWindows, UnhandledMessagesGetTheSystemDefaults) {
  HeadlessEventLoop& loop = UseHeadlessHost();
  PlainWindow wnd;
  ASSERT_NE(wnd.Create(0, L"plain", WS_POPUP, 0, 0, 0, 100, 100), 0u);
  EXPECT_EQ(wnd.SendMessage(WM_NCHITTEST, 0, 0), HTCLIENT);
  EXPECT_EQ(wnd.SendMessage(WM_NCACTIVATE, 0, 0), 1);
  wnd.SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_TRUE(wnd.IsMaximized());
  wnd.SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, 0);
  EXPECT_FALSE(wnd.IsMaximized());
  wnd.SendMessage(WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(wnd.GetHWND(), 0u);
  // Messages to the destroyed window reach nothing.
  EXPECT_EQ(wnd.SendMessage(WM_NCHITTEST, 0, 0), 0);
  loop.RunPending();
  EXPECT_EQ(wnd.afterDestroy, 1);
}

}  // namespace
}  // namespace SkinUI

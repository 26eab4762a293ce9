// Mouse, keyboard, focus, hit test, notifications and the message model of
// a skinned window, driven headless with the messages a host would send.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "skinui/button.h"
#include "skinui/host_headless.h"
#include "skinui/label.h"
#include "skinui/skin_resources.h"
#include "test_skin.h"

namespace SkinUI {
namespace {

class SkinInput : public ::testing::Test {
 protected:
  void SetUp() override {
    m_loop = &UseHeadlessHost();
    ResourceStore::Reset();
    ASSERT_NE(m_wnd.Create(0, L"input", WS_POPUP, 0), 0u);
  }
  void TearDown() override { ResourceStore::Reset(); }

  LRESULT HitTest(int x, int y) { return m_wnd.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(x, y)); }
  void Press(int x, int y) { m_wnd.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
  void Release(int x, int y) { m_wnd.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
  void Move(int x, int y) { m_wnd.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }
  int Count(const std::wstring& note) const {
    return static_cast<int>(std::count(m_wnd.notes.begin(), m_wnd.notes.end(), note));
  }
  CButtonUI* Close() { return static_cast<CButtonUI*>(m_wnd.FindControl(L"closebtn")); }

  HeadlessEventLoop* m_loop = nullptr;
  test::RecordingWindow m_wnd;
};

TEST_F(SkinInput, CaptionDragsOverLayoutsButNotOverButtons) {
  EXPECT_EQ(HitTest(300, 50), HTCAPTION);
  EXPECT_EQ(HitTest(560, 10), HTCLIENT);
  EXPECT_EQ(HitTest(300, 150), HTCLIENT);
  EXPECT_EQ(HitTest(300, 99), HTCAPTION);
  EXPECT_EQ(HitTest(300, 100), HTCLIENT);
}

TEST_F(SkinInput, SizeBoxBandsOnlyWhenWideAndNotMaximised) {
  for (POINT p : {POINT{0, 0}, POINT{599, 299}, POINT{0, 150}, POINT{599, 150}, POINT{300, 299}})
    EXPECT_LE(HitTest(p.x, p.y), HTCAPTION) << p.x << "," << p.y;  // never a sizing code
  m_wnd.GetPaintManager().SetSizeBox({4, 4, 4, 4});
  EXPECT_EQ(HitTest(1, 1), HTTOPLEFT);
  EXPECT_EQ(HitTest(598, 1), HTTOPRIGHT);
  EXPECT_EQ(HitTest(300, 1), HTTOP);
  EXPECT_EQ(HitTest(1, 150), HTLEFT);
  EXPECT_EQ(HitTest(598, 150), HTRIGHT);
  EXPECT_EQ(HitTest(300, 298), HTBOTTOM);
  EXPECT_EQ(HitTest(1, 298), HTBOTTOMLEFT);
  EXPECT_EQ(HitTest(598, 298), HTBOTTOMRIGHT);
  m_wnd.SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  ASSERT_TRUE(m_wnd.IsMaximized());
  EXPECT_EQ(HitTest(1, 150), HTCLIENT);
}

TEST_F(SkinInput, ButtonClicksOnlyWhenReleasedInside) {
  Press(560, 10);
  Release(560, 100);
  EXPECT_TRUE(m_wnd.clicks.empty());
  Press(300, 150);
  Release(560, 10);
  EXPECT_TRUE(m_wnd.clicks.empty());
  Press(560, 10);
  Release(565, 20);
  ASSERT_EQ(m_wnd.clicks.size(), 1u);
  EXPECT_EQ(m_wnd.clicks[0], L"closebtn");
}

TEST_F(SkinInput, PushedLookFollowsTheCapturedMouse) {
  Press(560, 10);
  EXPECT_TRUE(Close()->GetButtonState() & UISTATE_PUSHED);
  Move(300, 200);
  EXPECT_FALSE(Close()->GetButtonState() & UISTATE_PUSHED);
  Move(560, 10);
  EXPECT_TRUE(Close()->GetButtonState() & UISTATE_PUSHED);
  Release(300, 200);
  EXPECT_EQ(Close()->GetButtonState() & (UISTATE_PUSHED | UISTATE_CAPTURED), 0u);
}

TEST_F(SkinInput, HotStateFollowsTheMouse) {
  Move(560, 10);
  EXPECT_TRUE(Close()->GetButtonState() & UISTATE_HOT);
  Move(300, 200);
  EXPECT_FALSE(Close()->GetButtonState() & UISTATE_HOT);
  Move(560, 10);
  m_wnd.SendMessage(WM_MOUSELEAVE);
  EXPECT_FALSE(Close()->GetButtonState() & UISTATE_HOT);
}

TEST_F(SkinInput, FocusMovesWithKillBeforeSetAndNeverRepeats) {
  Press(560, 10);
  Release(560, 100);
  Press(100, 260);  // the progress bar
  Release(100, 260);
  Press(100, 260);
  Release(100, 260);
  std::vector<std::wstring> focus;
  for (const auto& n : m_wnd.notes) {
    if (n.rfind(L"setfocus", 0) == 0 || n.rfind(L"killfocus", 0) == 0) focus.push_back(n);
  }
  const std::vector<std::wstring> expected = {L"setfocus:closebtn", L"killfocus:closebtn",
                                              L"setfocus:prog_stat"};
  EXPECT_EQ(focus, expected);
  // Only clicks reach OnNotify; focus changes pass the table untouched.
  EXPECT_TRUE(m_wnd.clicks.empty());
}

TEST_F(SkinInput, DisabledOrHiddenControlsDoNotTakeFocus) {
  Close()->SetEnabled(false);
  Press(560, 10);
  Release(560, 10);
  EXPECT_EQ(Count(L"setfocus:closebtn"), 0);
  EXPECT_TRUE(m_wnd.clicks.empty());
}

TEST_F(SkinInput, SpaceOrReturnActivatesTheFocusedButton) {
  Press(560, 10);
  Release(0, 299);
  m_wnd.SendMessage(WM_KEYDOWN, VK_SPACE, 0);
  m_wnd.SendMessage(WM_KEYDOWN, VK_RETURN, 0);
  m_wnd.SendMessage(WM_KEYDOWN, 'A', 0);
  EXPECT_EQ(m_wnd.clicks.size(), 2u);
}

TEST_F(SkinInput, WindowInitArrivesOnceAtTheFirstPaint) {
  EXPECT_EQ(Count(L"windowinit:"), 0);
  RenderWindow(m_wnd);
  RenderWindow(m_wnd);
  EXPECT_EQ(Count(L"windowinit:"), 1);
}

TEST_F(SkinInput, CloseButtonClosesThroughThePostedMessage) {
  Press(560, 10);
  Release(560, 10);
  EXPECT_NE(m_wnd.GetHWND(), 0u);  // posted, not yet delivered
  m_loop->RunPending();
  EXPECT_EQ(m_wnd.GetHWND(), 0u);
  m_loop->RunPending();
  EXPECT_EQ(m_wnd.afterDestroy, 1);
}

TEST_F(SkinInput, SystemButtonsByNameAndCaptionDoubleClick) {
  CButtonUI minButton;
  minButton.SetName(L"minbtn");
  TNotifyUI msg;
  msg.sType = L"click";
  msg.pSender = &minButton;
  m_wnd.Notify(msg);
  EXPECT_TRUE(m_wnd.IsMinimized());
  m_wnd.SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(m_wnd.IsMinimized());

  m_wnd.swallowCaptionDoubleClick = true;
  m_wnd.SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(300, 50));
  EXPECT_FALSE(m_wnd.IsMaximized());
  m_wnd.swallowCaptionDoubleClick = false;
  m_wnd.SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(300, 50));
  EXPECT_TRUE(m_wnd.IsMaximized());
}

TEST_F(SkinInput, AppMessagesPostedFromAnotherThreadArriveInOrder) {
  std::thread worker([hwnd = m_wnd.GetHWND()] {
    for (int i = 0; i <= 100; i += 10) PostMessage(hwnd, WM_USER + 101, static_cast<WPARAM>(i), 0);
    PostMessage(hwnd, WM_USER + 100, 3, 2);
  });
  worker.join();
  m_loop->RunPending();
  ASSERT_EQ(m_wnd.appMessages.size(), 12u);
  EXPECT_EQ(m_wnd.appMessages[5].wParam, 50u);
  EXPECT_EQ(m_wnd.appMessages[11].msg, WM_USER + 100);
  EXPECT_EQ(m_wnd.appMessages[11].lParam, 2);
}

TEST_F(SkinInput, MessagesToADestroyedWindowAreDropped) {
  const HWND hwnd = m_wnd.GetHWND();
  m_wnd.DestroyWindow();
  EXPECT_TRUE(PostMessage(hwnd, WM_USER + 102, 0, 0));
  m_loop->RunPending();
  EXPECT_TRUE(m_wnd.appMessages.empty());
  EXPECT_EQ(m_wnd.afterDestroy, 1);
}

TEST_F(SkinInput, LinkInShownMarkupSendsLink) {
  RenderWindow(m_wnd);  // links get their rectangles when painted
  auto* text = static_cast<CTextUI*>(m_wnd.FindControl(L"link"));
  ASSERT_NE(text, nullptr);
  ASSERT_EQ(text->GetLinks().size(), 1u);
  EXPECT_EQ(text->GetLinks()[0].target, L"help");
  const RECT r = text->GetLinks()[0].rect;
  ASSERT_FALSE(r.IsEmpty());
  Press(r.left + 1, r.top + 1);
  Release(r.left + 1, r.top + 1);
  EXPECT_EQ(Count(L"link:link"), 1);
  Press(text->GetPos().right - 2, r.top + 1);  // beside the link
  Release(text->GetPos().right - 2, r.top + 1);
  EXPECT_EQ(Count(L"link:link"), 1);
  EXPECT_TRUE(m_wnd.clicks.empty());
}

// Records the order in which subclasses see a message and can swallow it.
class OrderSubclass : public IWindowSubclass {
 public:
  OrderSubclass(std::vector<int>* log, int id, bool swallow) : m_log(log), m_id(id), m_swallow(swallow) {}
  LRESULT SubclassProc(HWND, UINT uMsg, WPARAM wParam, LPARAM lParam, const Previous& previous) override {
    if (uMsg != WM_USER + 7) return previous(uMsg, wParam, lParam);
    m_log->push_back(m_id);
    return m_swallow ? 99 : previous(uMsg, wParam, lParam);
  }

 private:
  std::vector<int>* m_log;
  int m_id;
  bool m_swallow;
};

TEST_F(SkinInput, SubclassesRunNewestFirstAndThenTheWindow) {
  std::vector<int> log;
  OrderSubclass first(&log, 1, false);
  OrderSubclass second(&log, 2, false);
  m_wnd.AddSubclass(&first);
  m_wnd.AddSubclass(&second);
  m_wnd.SendMessage(WM_USER + 7, 5, 6);
  EXPECT_EQ(log, (std::vector<int>{2, 1}));
  ASSERT_EQ(m_wnd.appMessages.size(), 1u);

  OrderSubclass swallow(&log, 3, true);
  m_wnd.AddSubclass(&swallow);
  EXPECT_EQ(m_wnd.SendMessage(WM_USER + 7, 0, 0), 99);
  EXPECT_EQ(m_wnd.appMessages.size(), 1u);
  m_wnd.RemoveSubclass(&swallow);
  m_wnd.RemoveSubclass(&first);
  log.clear();
  m_wnd.SendMessage(WM_USER + 7, 0, 0);
  EXPECT_EQ(log, (std::vector<int>{2}));
}

TEST_F(SkinInput, StyleReportsVisibleMaximisedAndMinimised) {
  EXPECT_EQ(m_wnd.GetStyle() & WS_VISIBLE, 0u);
  m_wnd.ShowWindow(true, false);
  EXPECT_NE(m_wnd.GetStyle() & WS_VISIBLE, 0u);
  EXPECT_EQ(m_wnd.GetStyle() & WS_CAPTION, 0u);
  m_wnd.SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_NE(m_wnd.GetStyle() & WS_MAXIMIZE, 0u);
  m_wnd.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_NE(m_wnd.GetStyle() & WS_MINIMIZE, 0u);
}

TEST_F(SkinInput, CentringKeepsTheWindowInsideTheWorkArea) {
  m_wnd.CenterWindow();
  const RECT rc = m_wnd.GetWindowRect();
  EXPECT_EQ(rc.left, (1280 - 600) / 2);
  EXPECT_EQ(rc.top, (800 - 300) / 2);
  EXPECT_EQ(rc.Width(), 600);
}

TEST_F(SkinInput, QuitEndsTheLoopWithItsCode) {
  PostQuitMessage(7);
  EXPECT_EQ(PaintManager::MessageLoop(), 7);
}

}  // namespace
}  // namespace SkinUI

// Real windows under X, driven from a second thread the way users and the
// launcher's worker drive them: messages posted from other threads, moving
// and resizing, the pointer crossing the window's edge with and without a
// press, keys, the wheel, close requests, owned click-through helpers and the
// failure box. Each test waits for conditions with generous limits; nothing
// depends on fixed sleeps.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <map>

#include "live_window.h"
#include "skinui/button.h"
#include "skinui/host_headless.h"
#include "skinui/skin_resources.h"

namespace SkinUI {
namespace {

using test::LiveWindow;
using test::LoggedMessage;
using test::WaitFor;
using test::Xdo;

constexpr int kLeft = 20;
constexpr int kTop = 20;

class RealWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string reason = test::RealWindowsUnavailable();
    if (!reason.empty()) GTEST_SKIP() << reason;
    ResourceStore::Reset();
    // The pointer waits far from the windows, so none starts hovered.
    Xdo("mousemove 1270 790");
  }
  void TearDown() override { ResourceStore::Reset(); }

  // Creates `wnd` at the test position and shows it.
  void Open(LiveWindow& wnd, bool activate = false) {
    ASSERT_NE(wnd.Create(0, L"uikit live window", WS_POPUP, 0, kLeft, kTop, 10, 10), 0u);
    wnd.handle = wnd.GetHWND();
    wnd.ShowWindow(true, activate);
  }
  // Runs the loop while `script` drives from another thread; the window is
  // destroyed afterwards whatever the script did, which ends the loop.
  int Drive(LiveWindow& wnd, const std::function<void()>& script) {
    std::thread driver([&] {
      script();
      wnd.Finish();
    });
    const int code = PaintManager::MessageLoop();
    driver.join();
    return code;
  }
  static bool Shown(const LiveWindow& wnd) {
    return wnd.log.Any(WM_SHOWWINDOW, [](const LoggedMessage& m) { return m.wParam == 1; }) && wnd.paints > 0;
  }
  static std::string Xy(int x, int y) { return std::to_string(x) + " " + std::to_string(y); }
  static UINT ButtonState(LiveWindow& wnd) {
    UINT state = 0;
    wnd.OnLoop([&] { state = static_cast<CButtonUI*>(wnd.FindControl(L"closebtn"))->GetButtonState(); });
    return state;
  }
};

TEST_F(RealWindow, WorkerMessagesArriveInOrderOnTheLoopThread) {
  LiveWindow wnd;
  Open(wnd);
  // Two workers report at once, as a slow and a fast one might.
  constexpr int kEach = 300;
  const int code = Drive(wnd, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(wnd); }));
    std::vector<std::thread> workers;
    for (int t = 0; t < 2; ++t) {
      workers.emplace_back([&, t] {
        for (int i = 0; i < kEach; ++i) PostMessage(wnd.handle, WM_USER + 101, t * 1000 + i, 0);
      });
    }
    for (auto& w : workers) w.join();
    EXPECT_TRUE(WaitFor([&] { return wnd.log.Count(WM_USER + 101) == 2 * kEach; }));
    // The launch report makes the window close itself, as the launcher does.
    PostMessage(wnd.handle, WM_USER + 102, 0, 0);
    EXPECT_TRUE(WaitFor([&] { return wnd.log.Count(WM_USER + 102) == 1; }));
    wnd.OnLoop([&] { wnd.Close(0); });
    EXPECT_TRUE(WaitFor([&] { return wnd.destroyed.load(); }));
  });
  EXPECT_EQ(code, 0);
  const auto progress = wnd.log.Of(WM_USER + 101);
  ASSERT_EQ(progress.size(), 2u * kEach);
  int next[2] = {0, 1000};
  for (const LoggedMessage& m : progress) {
    EXPECT_EQ(m.thread, std::this_thread::get_id());
    const int t = m.wParam >= 1000 ? 1 : 0;
    EXPECT_EQ(static_cast<int>(m.wParam), next[t]++);
  }
  EXPECT_EQ(wnd.log.Of(WM_CLOSE).at(0).wParam, 0u);
  EXPECT_EQ(wnd.afterDestroy, 1);
}

TEST_F(RealWindow, MoveAndResizeReachTheXWindowAndAreReportedOnce) {
  LiveWindow wnd;
  wnd.onSkinReady = [](LiveWindow& w) { w.GetPaintManager().SetMinInfo(400, 200); };
  Open(wnd);
  Drive(wnd, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(wnd); }));
    unsigned long xid = 0;
    wnd.OnLoop([&] {
      xid = test::XWindowId(wnd);
      wnd.ResizeClient(500, 250);
      wnd.CenterWindow();
    });
    ASSERT_NE(xid, 0u);
    // Centred in Xvfb's 1280 x 800 screen.
    EXPECT_TRUE(WaitFor([&] {
      return wnd.log.Any(WM_MOVE, [](const LoggedMessage& m) { return m.lParam == MAKELPARAM(390, 275); });
    }));
    EXPECT_TRUE(WaitFor([&] {
      const auto g = test::WindowGeometry(xid);
      return g && g->x == 390 && g->y == 275 && g->width == 500 && g->height == 250;
    }));
    // Below the skin's smallest size: the window stops there.
    wnd.OnLoop([&] { wnd.ResizeClient(100, 100); });
    EXPECT_TRUE(WaitFor([&] {
      const auto g = test::WindowGeometry(xid);
      return g && g->width == 400 && g->height == 200;
    }));
    RECT client{};
    EXPECT_TRUE(WaitFor([&] {
      wnd.OnLoop([&] { client = wnd.GetClientRect(); });
      return client.Width() == 400 && client.Height() == 200;
    }));
  });
  const auto sizes = wnd.log.Of(WM_SIZE);
  const auto isSize = [](int cx, int cy) {
    return [=](const LoggedMessage& m) { return m.lParam == MAKELPARAM(cx, cy); };
  };
  // Reported once, when asked: X confirming it (GTK moves first, then
  // resizes) never rolls the size back in between.
  EXPECT_EQ(std::count_if(sizes.begin(), sizes.end(), isSize(500, 250)), 1);
  EXPECT_EQ(std::count_if(sizes.begin(), sizes.end(), isSize(600, 300)), 2);  // skin size, then creation
  EXPECT_EQ(std::count_if(sizes.begin(), sizes.end(), isSize(100, 100)), 0);
  EXPECT_EQ(wnd.log.Count(WM_MOVE), 1u);
  EXPECT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back().lParam, MAKELPARAM(400, 200));
}

TEST_F(RealWindow, PointerLeavingTheWindowClearsTheHotButton) {
  LiveWindow wnd;
  Open(wnd);
  Drive(wnd, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(wnd); }));
    ASSERT_TRUE(Xdo("mousemove --sync " + Xy(kLeft + 560, kTop + 10)));
    EXPECT_TRUE(WaitFor([&] { return (ButtonState(wnd) & UISTATE_HOT) != 0; }));
    // Straight out: X reports only the leave, no motion outside.
    ASSERT_TRUE(Xdo("mousemove --sync 1000 700"));
    EXPECT_TRUE(WaitFor([&] { return wnd.log.Count(WM_MOUSELEAVE) > 0; }));
    EXPECT_EQ(ButtonState(wnd) & UISTATE_HOT, 0u);
  });
}

TEST_F(RealWindow, PressKeepsTheMouseUntilReleaseAndAReleaseOutsideDoesNotClick) {
  LiveWindow wnd;
  Open(wnd);
  Drive(wnd, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(wnd); }));
    ASSERT_TRUE(Xdo("mousemove --sync " + Xy(kLeft + 560, kTop + 10) + " mousedown 1"));
    EXPECT_TRUE(WaitFor([&] { return (ButtonState(wnd) & UISTATE_PUSHED) != 0; }));
    // Outside the window the press still reports moves, with the button held.
    ASSERT_TRUE(Xdo("mousemove --sync 900 600"));
    EXPECT_TRUE(WaitFor([&] {
      return wnd.log.Any(WM_MOUSEMOVE, [](const LoggedMessage& m) {
        return m.wParam == MK_LBUTTON && GET_X_LPARAM(m.lParam) == 900 - kLeft;
      });
    }));
    EXPECT_EQ(ButtonState(wnd) & UISTATE_PUSHED, 0u);
    ASSERT_TRUE(Xdo("mouseup 1"));
    EXPECT_TRUE(WaitFor([&] { return wnd.log.Count(WM_LBUTTONUP) > 0; }));
    EXPECT_EQ(ButtonState(wnd) & (UISTATE_PUSHED | UISTATE_CAPTURED | UISTATE_HOT), 0u);
  });
  EXPECT_TRUE(wnd.clicks.empty());
  EXPECT_EQ(wnd.log.Count(WM_CLOSE), 0u);
}

TEST_F(RealWindow, KeysReachTheFocusedControlAndSpaceActivatesAButton) {
  LiveWindow wnd;
  Open(wnd, true);
  Drive(wnd, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(wnd); }));
    wnd.OnLoop([&] { wnd.GetHost()->Focus(); });
    ASSERT_TRUE(WaitFor([&] { return wnd.log.Count(WM_SETFOCUS) > 0; }));
    // The progress bar holds the focus: keys arrive but activate nothing.
    wnd.OnLoop([&] { wnd.FindControl(L"prog_stat")->SetFocus(); });
    ASSERT_TRUE(Xdo("key a"));
    EXPECT_TRUE(WaitFor([&] { return wnd.log.Count(WM_CHAR) > 0; }));
    // F1 has neither a virtual key nor a character: nothing is reported.
    ASSERT_TRUE(Xdo("key Escape Tab Left Up Right Down Delete BackSpace 7 Return KP_Enter F1"));
    EXPECT_TRUE(WaitFor([&] { return wnd.log.Count(WM_KEYDOWN) == 12; }));
    EXPECT_TRUE(wnd.clicks.empty());
    // Space activates the focused close button: the window closes.
    wnd.OnLoop([&] { wnd.FindControl(L"closebtn")->SetFocus(); });
    ASSERT_TRUE(Xdo("key space"));
    EXPECT_TRUE(WaitFor([&] { return wnd.destroyed.load(); }));
  });
  std::vector<WPARAM> keys;
  for (const LoggedMessage& m : wnd.log.Of(WM_KEYDOWN)) keys.push_back(m.wParam);
  EXPECT_EQ(keys, (std::vector<WPARAM>{'A', 0x1B, 0x09, 0x25, 0x26, 0x27, 0x28, 0x2E, 0x08, '7', VK_RETURN,
                                       VK_RETURN, VK_SPACE}));
  ASSERT_FALSE(wnd.log.Of(WM_CHAR).empty());
  EXPECT_EQ(wnd.log.Of(WM_CHAR)[0].wParam, static_cast<WPARAM>('a'));
  EXPECT_EQ(wnd.clicks, (std::vector<std::wstring>{L"closebtn"}));
}

TEST_F(RealWindow, WheelNotchesAndTheRightButtonAreReported) {
  LiveWindow wnd;
  Open(wnd);
  Drive(wnd, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(wnd); }));
    ASSERT_TRUE(Xdo("mousemove --sync " + Xy(kLeft + 300, kTop + 150) + " click 4 click 5 click 3"));
    EXPECT_TRUE(
        WaitFor([&] { return wnd.log.Count(WM_MOUSEWHEEL) == 2 && wnd.log.Count(WM_RBUTTONUP) == 1; }));
  });
  const auto wheel = wnd.log.Of(WM_MOUSEWHEEL);
  ASSERT_EQ(wheel.size(), 2u);
  EXPECT_EQ(static_cast<std::int16_t>(wheel[0].wParam >> 16), 120);
  EXPECT_EQ(static_cast<std::int16_t>(wheel[1].wParam >> 16), -120);
  EXPECT_EQ(wheel[0].lParam, MAKELPARAM(kLeft + 300, kTop + 150));  // screen coordinates
  ASSERT_EQ(wnd.log.Count(WM_RBUTTONDOWN), 1u);
  EXPECT_EQ(wnd.log.Of(WM_RBUTTONDOWN)[0].lParam, MAKELPARAM(300, 150));
  EXPECT_EQ(wnd.log.Count(WM_LBUTTONDOWN), 0u);
}

TEST_F(RealWindow, CloseRequestsAskTheWindowFirst) {
  LiveWindow wnd;
  wnd.refuseClose = true;
  Open(wnd);
  Drive(wnd, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(wnd); }));
    auto requestClose = [&] { gtk_window_close(GTK_WINDOW(wnd.GetHost()->NativeHandle())); };
    wnd.OnLoop(requestClose);
    EXPECT_TRUE(WaitFor([&] { return wnd.log.Count(WM_CLOSE) == 1; }));
    bool visible = false;
    wnd.OnLoop([&] { visible = wnd.IsWindowVisible(); });
    EXPECT_TRUE(visible);
    wnd.refuseClose = false;
    wnd.OnLoop(requestClose);
    EXPECT_TRUE(WaitFor([&] { return wnd.destroyed.load(); }));
  });
  EXPECT_EQ(wnd.log.Count(WM_CLOSE), 2u);
  EXPECT_EQ(wnd.log.Count(WM_DESTROY), 1u);
  EXPECT_EQ(wnd.log.Count(WM_NCDESTROY), 1u);
  EXPECT_EQ(wnd.afterDestroy, 1);
}

TEST_F(RealWindow, HidingAndShowingAreReported) {
  LiveWindow wnd;
  Open(wnd);
  Drive(wnd, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(wnd); }));
    wnd.OnLoop([&] { wnd.ShowWindow(false, false); });
    EXPECT_TRUE(WaitFor(
        [&] { return wnd.log.Any(WM_SHOWWINDOW, [](const LoggedMessage& m) { return m.wParam == 0; }); }));
    bool visible = true;
    wnd.OnLoop([&] { visible = wnd.IsWindowVisible(); });
    EXPECT_FALSE(visible);
    wnd.OnLoop([&] { wnd.ShowWindow(true, false); });
    EXPECT_TRUE(WaitFor([&] { return wnd.log.Count(WM_SHOWWINDOW) == 3; }));
  });
  std::vector<WPARAM> shows;
  for (const LoggedMessage& m : wnd.log.Of(WM_SHOWWINDOW)) shows.push_back(m.wParam);
  EXPECT_EQ(shows, (std::vector<WPARAM>{1, 0, 1}));
}

// Sends the window what a window manager reports when it changes the
// window's state (Xvfb runs without one).
void ReportWindowState(CWindowWnd& wnd, GdkWindowState state) {
  auto* widget = static_cast<GtkWidget*>(wnd.GetHost()->NativeHandle());
  GdkEvent* event = gdk_event_new(GDK_WINDOW_STATE);
  event->window_state.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
  event->window_state.changed_mask =
      static_cast<GdkWindowState>(GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_ICONIFIED);
  event->window_state.new_window_state = state;
  gtk_main_do_event(event);
  gdk_event_free(event);
}

TEST_F(RealWindow, WindowStateChangesBecomeSizeReports) {
  LiveWindow wnd;
  Open(wnd);
  bool maximised = false;
  bool minimised = false;
  Drive(wnd, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(wnd); }));
    wnd.OnLoop([&] {
      ReportWindowState(wnd, GDK_WINDOW_STATE_MAXIMIZED);
      maximised = wnd.IsMaximized();
      ReportWindowState(wnd, GDK_WINDOW_STATE_MAXIMIZED);  // unchanged: no report
      ReportWindowState(wnd, GDK_WINDOW_STATE_ICONIFIED);
      minimised = wnd.IsMinimized();
      ReportWindowState(wnd, static_cast<GdkWindowState>(0));
    });
  });
  EXPECT_TRUE(maximised);
  EXPECT_TRUE(minimised);
  std::vector<WPARAM> kinds;
  for (const LoggedMessage& m : wnd.log.Of(WM_SIZE)) kinds.push_back(m.wParam);
  ASSERT_GE(kinds.size(), 3u);
  EXPECT_EQ(std::vector<WPARAM>(kinds.end() - 3, kinds.end()),
            (std::vector<WPARAM>{SIZE_MAXIMIZED, SIZE_MINIMIZED, SIZE_RESTORED}));
  EXPECT_FALSE(wnd.IsMaximized());
}

// A helper window that only logs, like a drop shadow following its owner.
class HelperWindow : public CWindowWnd {
 public:
  const wchar_t* WindowClassName() const override { return L"uikit_helper"; }
  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    log.Add(uMsg, wParam, lParam);
    return CWindowWnd::OnMessage(uMsg, wParam, lParam);
  }
  test::MessageLog log;
};

// A drop shadow's window: owned, layered and click-through. No window
// manager may frame it (a frame would catch the clicks its empty input
// shape lets through), so it is override-redirect, and it keeps itself
// directly under its owner however the owner is restacked.
TEST_F(RealWindow, ClickThroughHelperStaysUnderItsOwnerAndLetsPressesThrough) {
  LiveWindow owner;
  Open(owner);
  HelperWindow helper;
  ASSERT_NE(helper.Create(owner, L"", WS_POPUP, WS_EX_LAYERED | WS_EX_TRANSPARENT, kLeft + 200, kTop + 150,
                          100, 100),
            0u);
  helper.ShowWindow(true, false);
  HelperWindow other;
  Drive(owner, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(owner) && helper.log.Count(WM_SHOWWINDOW) > 0; }));
    bool transient = false;
    bool skipsTaskbar = false;
    bool takesFocus = true;
    unsigned long ownerId = 0;
    unsigned long helperId = 0;
    owner.OnLoop([&] {
      auto* h = GTK_WINDOW(helper.GetHost()->NativeHandle());
      transient = gtk_window_get_transient_for(h) == owner.GetHost()->NativeHandle();
      skipsTaskbar = gtk_window_get_skip_taskbar_hint(h);
      takesFocus = gtk_window_get_accept_focus(h);
      ownerId = test::XWindowId(owner);
      helperId = test::XWindowId(helper);
    });
    EXPECT_TRUE(transient);
    EXPECT_TRUE(skipsTaskbar);
    EXPECT_FALSE(takesFocus);
    EXPECT_TRUE(test::IsOverrideRedirect(helperId));
    EXPECT_EQ(test::WmClass(ownerId), std::string(g_get_prgname()) + "/uikit_test_window");
    const auto helperRightUnderOwner = [&] {
      const std::vector<unsigned long> stack = test::RootStack();
      const auto at = std::find(stack.begin(), stack.end(), ownerId);
      return at != stack.begin() && at != stack.end() && *(at - 1) == helperId;
    };
    EXPECT_TRUE(WaitFor(helperRightUnderOwner))
        << "mapped after its owner, the helper must still go under it";

    // Another window comes on top; raising the owner again brings the
    // helper along under it.
    owner.OnLoop([&] {
      ASSERT_NE(other.Create(0, L"other", WS_POPUP, 0, kLeft + 400, kTop + 100, 100, 100), 0u);
      other.ShowWindow(true, false);
    });
    ASSERT_TRUE(WaitFor([&] { return other.log.Count(WM_SHOWWINDOW) > 0; }));
    unsigned long otherId = 0;
    owner.OnLoop([&] { otherId = test::XWindowId(other); });
    ASSERT_TRUE(Xdo("windowraise " + std::to_string(ownerId)));
    EXPECT_TRUE(WaitFor([&] { return helperRightUnderOwner() && test::RootStack().back() == ownerId; }));
    const std::vector<unsigned long> stack = test::RootStack();
    EXPECT_LT(std::find(stack.begin(), stack.end(), otherId) - stack.begin(),
              std::find(stack.begin(), stack.end(), helperId) - stack.begin());
    owner.OnLoop([&] { other.DestroyWindow(); });

    ASSERT_TRUE(Xdo("mousemove --sync " + Xy(kLeft + 250, kTop + 200) + " click 1"));
    EXPECT_TRUE(WaitFor([&] { return owner.log.Count(WM_LBUTTONUP) == 1; }));
  });
  ASSERT_EQ(owner.log.Count(WM_LBUTTONDOWN), 1u);
  EXPECT_EQ(owner.log.Of(WM_LBUTTONDOWN)[0].lParam, MAKELPARAM(250, 200));
  EXPECT_EQ(helper.log.Count(WM_NCHITTEST), 0u);
  EXPECT_EQ(helper.log.Count(WM_LBUTTONDOWN), 0u);
}

TEST_F(RealWindow, DraggingTheCaptionMovesTheWindowAndEdgesResizeIt) {
  LiveWindow wnd;
  wnd.onSkinReady = [](LiveWindow& w) { w.GetPaintManager().SetSizeBox({4, 4, 4, 4}); };
  Open(wnd);
  Drive(wnd, [&] {
    ASSERT_TRUE(WaitFor([&] { return Shown(wnd); }));
    ASSERT_TRUE(Xdo("mousemove --sync " + Xy(kLeft + 300, kTop + 50) + " mousedown 1"));
    ASSERT_TRUE(WaitFor([&] { return wnd.log.Count(WM_NCLBUTTONDOWN) == 1; }));
    ASSERT_TRUE(Xdo("mousemove --sync " + Xy(kLeft + 340, kTop + 80) + " mousemove --sync " +
                    Xy(kLeft + 360, kTop + 90) + " mouseup 1"));
    EXPECT_TRUE(WaitFor([&] {
      return wnd.log.Any(
          WM_MOVE, [](const LoggedMessage& m) { return m.lParam == MAKELPARAM(kLeft + 60, kTop + 40); });
    }));
    // The right edge band of the moved window, dragged 50 pixels further.
    const int edgeX = kLeft + 60 + 598;
    const int edgeY = kTop + 40 + 150;
    ASSERT_TRUE(Xdo("mousemove --sync " + Xy(edgeX, edgeY) + " mousedown 1"));
    ASSERT_TRUE(WaitFor([&] { return wnd.log.Count(WM_NCLBUTTONDOWN) == 2; }));
    ASSERT_TRUE(Xdo("mousemove --sync " + Xy(edgeX + 30, edgeY) + " mousemove --sync " +
                    Xy(edgeX + 50, edgeY) + " mouseup 1"));
    EXPECT_TRUE(WaitFor([&] {
      return wnd.log.Any(WM_SIZE, [](const LoggedMessage& m) { return m.lParam == MAKELPARAM(650, 300); });
    }));
    // The bottom-left corner, dragged left and down: the window grows both
    // ways and its left edge follows the pointer.
    const int cornerX = kLeft + 60 + 1;
    const int cornerY = kTop + 40 + 298;
    ASSERT_TRUE(Xdo("mousemove --sync " + Xy(cornerX, cornerY) + " mousedown 1"));
    ASSERT_TRUE(WaitFor([&] { return wnd.log.Count(WM_NCLBUTTONDOWN) == 3; }));
    ASSERT_TRUE(Xdo("mousemove --sync " + Xy(cornerX - 10, cornerY + 15) + " mousemove --sync " +
                    Xy(cornerX - 20, cornerY + 30) + " mouseup 1"));
    EXPECT_TRUE(WaitFor([&] {
      return wnd.log.Any(WM_SIZE, [](const LoggedMessage& m) { return m.lParam == MAKELPARAM(670, 330); }) &&
             wnd.log.Any(WM_MOVE, [](const LoggedMessage& m) {
               return m.lParam == MAKELPARAM(kLeft + 40, kTop + 40);
             });
    }));
  });
  const auto presses = wnd.log.Of(WM_NCLBUTTONDOWN);
  ASSERT_EQ(presses.size(), 3u);
  EXPECT_EQ(presses[0].wParam, static_cast<WPARAM>(HTCAPTION));
  EXPECT_EQ(presses[1].wParam, static_cast<WPARAM>(HTRIGHT));
  EXPECT_EQ(presses[2].wParam, static_cast<WPARAM>(HTBOTTOMLEFT));
}

// Answers the failure box as a user would, and notes what it showed.
struct BoxSeen {
  std::string text;
  std::string title;
  GtkMessageType type = GTK_MESSAGE_OTHER;
  bool modal = false;
  bool answered = false;
  int polls = 0;
};

gboolean answerMessageBox(gpointer data) {
  auto* seen = static_cast<BoxSeen*>(data);
  GList* windows = gtk_window_list_toplevels();
  GtkWidget* box = nullptr;
  for (GList* w = windows; w != nullptr; w = w->next) {
    if (GTK_IS_MESSAGE_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
      box = GTK_WIDGET(w->data);
  }
  g_list_free(windows);
  if (box == nullptr) return ++seen->polls < 500 ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  gchar* text = nullptr;
  g_object_get(box, "text", &text, "message-type", &seen->type, nullptr);
  seen->text = text != nullptr ? text : "";
  g_free(text);
  seen->title = gtk_window_get_title(GTK_WINDOW(box)) != nullptr ? gtk_window_get_title(GTK_WINDOW(box)) : "";
  seen->modal = gtk_window_get_modal(GTK_WINDOW(box));
  gtk_dialog_response(GTK_DIALOG(box), GTK_RESPONSE_OK);
  seen->answered = true;
  return G_SOURCE_REMOVE;
}

TEST_F(RealWindow, BrokenSkinShowsAModalErrorBoxAndNoWindow) {
  LiveWindow wnd;
  wnd.m_file = L"no_such.xml";
  BoxSeen seen;
  const guint source = g_timeout_add(20, answerMessageBox, &seen);
  EXPECT_EQ(wnd.Create(0, L"broken", WS_POPUP, 0, kLeft, kTop, 10, 10), 0u);
  if (!seen.answered && seen.polls < 500) g_source_remove(source);
  EXPECT_TRUE(seen.answered);
  EXPECT_EQ(seen.text, "加载资源文件失败");
  EXPECT_EQ(seen.title, "SkinUI");
  EXPECT_EQ(seen.type, GTK_MESSAGE_ERROR);
  EXPECT_TRUE(seen.modal);
  // The half-made window is torn down through the loop, which then ends.
  EXPECT_EQ(PaintManager::MessageLoop(), 0);
  EXPECT_EQ(wnd.afterDestroy, 1);
}

TEST_F(RealWindow, QuitAskedBeforeTheLoopRunsIsKept) {
  GetEventLoop().Quit(4);
  EXPECT_EQ(PaintManager::MessageLoop(), 4);
}

TEST_F(RealWindow, ReplacingTheLoopDropsItsPendingWork) {
  bool ran = false;
  GetEventLoop().Post([&ran] { ran = true; });
  // A new loop replaces the old one before it ran anything; the old loop's
  // wake-up must not reach freed memory.
  UseHeadlessHost();
  ASSERT_TRUE(UseGtkHost());
  PostQuitMessage(9);
  EXPECT_EQ(PaintManager::MessageLoop(), 9);
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace SkinUI

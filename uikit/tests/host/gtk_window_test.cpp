// One real window under X: shown by the GTK host, clicked by xdotool
// (synthetic input through the X server). A double click on the caption band
// arrives as a press and a non-client double click; the click on the close
// button notifies, the window closes and the loop ends.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "../window/test_skin.h"
#include "skinui/skin_resources.h"

namespace SkinUI {
namespace {

class QuittingWindow : public test::RecordingWindow {
 public:
  void OnSkinReady() override {
    ++skinReady;
    // Once painted, ask the X server for a double click on the caption.
    AddNotifyEntry(L"windowinit", L"", [this](TNotifyUI&) { doubleClickCaption(); });
  }
  void AfterDestroy(HWND) override {
    ++afterDestroy;
    PostQuitMessage(0);
  }

  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    // The close click waits for the double click to arrive, however long a
    // busy machine takes, so the two can never run into one another.
    if (uMsg == WM_NCLBUTTONDBLCLK && wParam == HTCAPTION && ++captionDoubleClicks == 1) clickCloseButton();
    if (uMsg == WM_NCLBUTTONDOWN && wParam == HTCAPTION) {
      // Swallowed: without a window manager GTK emulates the move with a
      // pointer grab of its own, which can eat the second press.
      ++captionPresses;
      return 0;
    }
    return test::RecordingWindow::OnMessage(uMsg, wParam, lParam);
  }

  void doubleClickCaption() {
    const RECT rc = GetWindowRect();
    xdotool("mousemove --sync " + std::to_string(rc.left + 300) + " " + std::to_string(rc.top + 50) +
            " click --repeat 2 --delay 60 1");
  }
  void clickCloseButton() {
    const RECT rc = GetWindowRect();
    xdotool("mousemove --sync " + std::to_string(rc.left + 560) + " " + std::to_string(rc.top + 15) +
            " click 1");
  }
  // In the background: the loop must keep running to see the input.
  void xdotool(const std::string& args) {
    const int status = std::system(("xdotool " + args + " >/dev/null 2>&1 &").c_str());
    if (status != 0) clickCommandStatus = status;
  }
  int clickCommandStatus = 0;
  int captionDoubleClicks = 0;
  int captionPresses = 0;
};

TEST(GtkHost, RealWindowShowsReceivesAClickAndCloses) {
  if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "no DISPLAY: the real-window test needs an X server";
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) GTEST_SKIP() << "xdotool is not installed";
  // No accessibility bridge: the test has no use for it, and it leaves a
  // D-Bus connection and strings behind that the leak checker would report.
  setenv("NO_AT_BRIDGE", "1", 0);
  ASSERT_TRUE(UseGtkHost()) << "GTK could not open the display";
  ResourceStore::Reset();

  QuittingWindow wnd;
  ASSERT_NE(wnd.Create(0, L"uikit real window", WS_POPUP, 0, 100, 100, 10, 10), 0u);
  wnd.ShowWindow(true, true);

  // A watchdog, in case the click never arrives: close after 10 s.
  std::atomic<bool> finished{false};
  std::atomic<bool> timedOut{false};
  std::thread watchdog([&, hwnd = wnd.GetHWND()] {
    for (int i = 0; i < 100 && !finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!finished) {
      timedOut = true;
      PostMessage(hwnd, WM_CLOSE, 0, 0);
    }
  });
  const int code = PaintManager::MessageLoop();
  finished = true;
  watchdog.join();

  EXPECT_FALSE(timedOut);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(wnd.clickCommandStatus, 0);
  EXPECT_EQ(wnd.captionPresses, 1);
  EXPECT_EQ(wnd.captionDoubleClicks, 1);
  ASSERT_EQ(wnd.clicks.size(), 1u);
  EXPECT_EQ(wnd.clicks[0], L"closebtn");
  EXPECT_EQ(wnd.afterDestroy, 1);
  EXPECT_EQ(wnd.GetHWND(), 0u);
}

}  // namespace
}  // namespace SkinUI

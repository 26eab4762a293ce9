// The launcher window on the headless host with its real embedded skin and
// a real update worker whose gateway bases are a closed loopback port, so
// every worker fails fast with a network failure: the routing of the
// worker's messages, the retry on the bar, the caption double click, the
// close after launch, the debug controls, and every failure text on one
// line in each language.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "launcher/launcher_messages.h"
#include "launcher/text_table.h"
#include "launcher/window/luancher_dlg.h"
#include "skinui/host_headless.h"
#include "skinui/progress.h"
#include "skinui/render_text.h"
#include "skinui/skin_resources.h"
#include "skinui/text_convert.h"
#include "support/wait_until.h"

using namespace SkinUI;
namespace fs = std::filesystem;

namespace {

class LuancherDlgTest : public ::testing::Test {
 protected:
  void SetUp() override {
    loop_ = &UseHeadlessHost();
    ResourceStore::Reset();
    CDropShadow::ResetRegistration();
    CDropShadow::RegisterShadowClass(this);
    SetTextLanguage(kLanguageEnglishUs);
    char pattern[] = "/tmp/luancher-dlg-test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    setenv("XDG_DATA_HOME", dir_.c_str(), 1);

    dlg_ = new LuancherDlg();
    ASSERT_NE(dlg_->Create(0, L"launch.teacher", WS_VISIBLE | WS_OVERLAPPEDWINDOW, 0), 0u);
    hwnd_ = dlg_->GetHWND();
    dlg_->ShowWindow(true, true);
    ASSERT_TRUE(WaitForFailure()) << "the first worker never reported";
  }
  void TearDown() override {
    if (FromHandle(hwnd_) != nullptr) {
      dlg_->DestroyWindow();
      loop_->RunPending();
    }
    fs::remove_all(dir_);
    CDropShadow::ResetRegistration();
  }

  // Runs the loop until the worker's failure arrived and the worker is done.
  // The worker fails at once, but a loaded machine (or a sanitizer build)
  // may take its time to say so: the limit is only a last resort.
  bool WaitForFailure() {
    return test_env::WaitUntil(
        [&] {
          loop_->RunPending();
          return dlg_->Controller() != nullptr && !dlg_->Controller()->WorkerRunning() &&
                 dlg_->Controller()->LastFailure() == FailNetwork;
        },
        std::chrono::seconds(30));
  }
  std::wstring Status() { return dlg_->FindControl(L"output_line")->GetText(); }
  CProgressUI* Bar() {
    return static_cast<CProgressUI*>(dlg_->FindControl(L"prog_stat")->GetInterface(L"Progress"));
  }

  HeadlessEventLoop* loop_ = nullptr;
  LuancherDlg* dlg_ = nullptr;
  HWND hwnd_ = 0;
  std::string dir_;
};

TEST_F(LuancherDlgTest, TheSkinBuildsTheSplashAndAFailureTurnsTheBarIntoRetry) {
  const RECT rc = dlg_->GetClientRect();
  EXPECT_EQ(rc.Width(), 600);
  EXPECT_EQ(rc.Height(), 300);
  EXPECT_NE(dlg_->FindControl(L"closebtn"), nullptr);
  EXPECT_EQ(Status(), LoadText(kTextNetworkFailed));
  EXPECT_EQ(Bar()->GetText(), L"retry");
  EXPECT_EQ(Bar()->GetValue(), 100);
  EXPECT_TRUE(dlg_->Shadow().ShadowVisible());
}

TEST_F(LuancherDlgTest, ProgressMessagesReachTheStatusLineAndTheBar) {
  dlg_->SendMessage(WM_LAUNCHER_PROGRESS, 42, 0);
  EXPECT_EQ(Status(), L"downloading upate...");
  EXPECT_EQ(Bar()->GetValue(), 42);
  EXPECT_EQ(Bar()->GetText(), L"42%");
  dlg_->SendMessage(WM_LAUNCHER_PROGRESS, 100, 0);
  EXPECT_EQ(Status(), L"unzip the setup files...");
  dlg_->SendMessage(WM_LAUNCHER_FAILED, FailFileCheck, 3);
  EXPECT_EQ(Status(), L"file check error, code 3");
}

TEST_F(LuancherDlgTest, OnlyAReleaseOnTheBarRetries) {
  // Outside the bar (30,244 .. 570,276): nothing starts.
  dlg_->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(20, 260));
  dlg_->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(300, 243));
  EXPECT_FALSE(dlg_->Controller()->WorkerRunning());
  EXPECT_EQ(Status(), LoadText(kTextNetworkFailed));

  dlg_->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(569, 275));
  EXPECT_EQ(Status(), L"checking update..");
  EXPECT_EQ(Bar()->GetText(), L"");
  EXPECT_TRUE(WaitForFailure());
  EXPECT_EQ(Bar()->GetText(), L"retry");
}

TEST_F(LuancherDlgTest, ACaptionDoubleClickNeverMaximises) {
  dlg_->SendMessage(WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(300, 50));
  EXPECT_FALSE(dlg_->IsMaximized());
  EXPECT_EQ(dlg_->GetClientRect().Width(), 600);
}

TEST_F(LuancherDlgTest, ALaunchedShellClosesTheWindowAndEndsTheLoop) {
  loop_->ClearQuit();
  dlg_->SendMessage(WM_LAUNCHER_LAUNCHED, 0, 0);
  for (int i = 0; i < 10 && FromHandle(hwnd_) != nullptr; ++i) loop_->RunPending();
  EXPECT_EQ(FromHandle(hwnd_), nullptr);
  EXPECT_TRUE(loop_->QuitRequested());
  // A worker message that arrives late is dropped, not delivered to the
  // deleted window (the sanitizer build would catch the use).
  PostMessage(hwnd_, WM_LAUNCHER_PROGRESS, 5, 0);
  loop_->RunPending();
}

TEST_F(LuancherDlgTest, TheClearCacheControlResetsTheDataFolderKeepingTheShellsSettings) {
  const fs::path app = fs::path(dir_) / "tarkel.shell";
  fs::create_directories(app / "bin" / "1.0.0");
  std::ofstream(app / "Config.ini") << "volume=3\n";
  CControlUI fix;
  fix.SetName(L"fix_app");
  TNotifyUI msg;
  msg.sType = L"click";
  msg.pSender = &fix;
  dlg_->OnNotify(msg);
  EXPECT_FALSE(fs::exists(app / "bin"));
  std::ifstream kept(app / "Config.ini");
  std::string line;
  std::getline(kept, line);
  EXPECT_EQ(line, "volume=3");
}

// Rows of the window's picture inside `rc` that carry white text.
int TextRows(cairo_surface_t* picture, const RECT& rc) {
  const unsigned char* data = cairo_image_surface_get_data(picture);
  const int stride = cairo_image_surface_get_stride(picture);
  int rows = 0;
  for (int y = rc.top; y < rc.bottom; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
    for (int x = rc.left; x < rc.right; ++x) {
      const std::uint32_t p = row[x];
      if (((p >> 16) & 0xFF) > 170 && ((p >> 8) & 0xFF) > 170 && (p & 0xFF) > 170) {
        ++rows;
        break;
      }
    }
  }
  return rows;
}

// The status line must take every failure text whole and the bar its
// retry text, on one line, in the fonts the skin really gets (WenQuanYi for
// Hangul and Chinese), with room for accents and descenders. Pictures of
// each language's network failure go to the test's output folder.
TEST_F(LuancherDlgTest, EveryFailureTextFitsOnOneLineInEveryLanguage) {
  auto* status = static_cast<CLabelUI*>(dlg_->FindControl(L"output_line")->GetInterface(L"Label"));
  ASSERT_NE(status, nullptr);
  const auto fits = [&](CLabelUI* label) {
    const SIZE need = MeasureSkinText(label->GetText(), dlg_->GetPaintManager().GetFont(label->GetFont()),
                                      label->IsShowHtml());
    const RECT room = label->TextRect();
    return need.cx <= room.Width() && need.cy <= room.Height();
  };
  fs::create_directories(WINDOW_TEST_OUTPUT_DIR);
  for (const auto& [language, name] : {std::pair{kLanguageEnglishUs, "en"}, std::pair{kLanguageKorean, "ko"},
                                       std::pair{kLanguageChineseSimplified, "zh"}}) {
    SetTextLanguage(language);
    for (const int kind : {FailFileCheck, FailUnzip, FailDownload, FailLaunch, FailNetwork}) {
      dlg_->SendMessage(WM_LAUNCHER_FAILED, kind, 4);
      EXPECT_TRUE(fits(status)) << name << ": " << WideToUtf8(status->GetText());
      EXPECT_TRUE(fits(Bar())) << name << ": " << WideToUtf8(Bar()->GetText());
    }
    CairoSurfacePtr picture = RenderWindow(*dlg_);
    ASSERT_TRUE(picture);
    EXPECT_EQ(cairo_surface_write_to_png(
                  picture.get(),
                  (std::string(WINDOW_TEST_OUTPUT_DIR) + "/network_failure_" + name + ".png").c_str()),
              CAIRO_STATUS_SUCCESS);
    // One line of 14-pixel text: fewer ink rows than two lines would need.
    EXPECT_LT(TextRows(picture.get(), status->GetPos()), 18) << name << ": the status line broke into lines";
    EXPECT_LT(TextRows(picture.get(), Bar()->GetPos()), 18) << name << ": the bar's text broke into lines";
  }
}

}  // namespace

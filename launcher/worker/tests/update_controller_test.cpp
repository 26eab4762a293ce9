// The window side of the update: what the status line and the bar show for
// each report, and when a worker may start.
#include "launcher/update_controller.h"

#include <gtest/gtest.h>

#include "launcher/text_table.h"
#include "worker_fixture.h"

namespace worker_test {
namespace {

class RecordingWindow : public LauncherWindowPort {
 public:
  void SetStatusText(const std::wstring& text) override { status = text; }
  void SetProgressValue(int value) override { progress = value; }
  void SetProgressText(const std::wstring& text) override { progressText = text; }
  void ShowNormal() override { ++shown; }

  std::wstring status, progressText;
  int progress = -1;
  int shown = 0;
};

class UpdateControllerTest : public WorkerTest {
 protected:
  void SetUp() override {
    WorkerTest::SetUp();
    SetTextLanguage(kLanguageEnglishUs);
  }
  RecordingWindow window_;
};

TEST_F(UpdateControllerTest, FailuresShowTheirTextAndTurnTheBarIntoRetry) {
  UpdateController controller(window_, sink_, L"tarkel.shell", RunMode());
  controller.ShowFailure(FailNetwork, 0);
  EXPECT_EQ(window_.status, L"net error\uFF0Cplease check network and retry");
  EXPECT_EQ(window_.progressText, L"retry");
  EXPECT_EQ(window_.progress, 100);
  EXPECT_EQ(window_.shown, 1);
  EXPECT_EQ(controller.LastFailure(), FailNetwork);

  controller.ShowFailure(FailFileCheck, 4);
  EXPECT_EQ(window_.status, L"file check error, code 4");

  controller.ShowFailure(FailLaunch, 0);
  EXPECT_EQ(window_.status, L"can not execute the app");
  EXPECT_EQ(window_.progressText, L"fix it");

  controller.ShowFailure(99, 0);
  EXPECT_EQ(window_.status, L"");
}

TEST_F(UpdateControllerTest, ProgressShowsPercentUntil100ThenTheUnzipText) {
  UpdateController controller(window_, sink_, L"tarkel.shell", RunMode());
  controller.ShowProgress(42);
  EXPECT_EQ(window_.status, L"downloading upate...");
  EXPECT_EQ(window_.progress, 42);
  EXPECT_EQ(window_.progressText, L"42%");
  controller.ShowProgress(100);
  EXPECT_EQ(window_.status, L"unzip the setup files...");
  EXPECT_EQ(window_.progress, 42);
  EXPECT_EQ(window_.progressText, L"42%");
}

TEST_F(UpdateControllerTest, SecondStartWhileRunningIsIgnoredAndRetryAfterFailureRuns) {
  // Both gateways hang, so the first worker is busy for a while.
  auto gateway = std::make_unique<DemoGateway>(
      root_, std::vector<std::string>{"--primary-mode", "timeout", "--fallback-mode", "timeout"});
  UpdateController controller(window_, sink_, L"tarkel.shell", RunMode());
  controller.StartUpdateWorker();
  EXPECT_EQ(window_.status, L"checking update..");
  EXPECT_EQ(window_.progress, 0);
  EXPECT_TRUE(controller.WorkerRunning());
  controller.StartUpdateWorker();
  EXPECT_TRUE(controller.WorkerRunning());
  // The report of the running worker frees the way for a retry.
  controller.ShowFailure(FailNetwork, 0);
  EXPECT_FALSE(controller.WorkerRunning());
  // The detached worker must finish before the test process tears down its
  // globals; with the gateway gone its remaining queries fail at once.
  gateway.reset();
  EXPECT_TRUE(controller.WaitForWorkerExit(40000));
}

TEST_F(UpdateControllerTest, RetryAfterLaunchFailureResetsTheDataFolderFirst) {
  DemoGateway gateway(root_, {"--primary-mode", "http-500", "--fallback-mode", "http-500"});
  fs::create_directories(VersionFolder("0.9.0"));
  UpdateController controller(window_, sink_, L"tarkel.shell", RunMode());
  controller.ShowFailure(FailNetwork, 0);
  controller.StartUpdateWorker();
  ASSERT_TRUE(controller.WaitForWorkerExit(20000));
  EXPECT_TRUE(fs::exists(VersionFolder("0.9.0")));

  controller.ShowFailure(FailLaunch, 0);
  controller.StartUpdateWorker();
  EXPECT_FALSE(fs::exists(VersionFolder("0.9.0")));
  EXPECT_EQ(controller.LastFailure(), FailNone);
  ASSERT_TRUE(controller.WaitForWorkerExit(20000));
  controller.ShowFailure(FailNetwork, 0);
}

}  // namespace
}  // namespace worker_test

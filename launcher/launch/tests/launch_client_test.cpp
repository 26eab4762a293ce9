#include "launcher/launch_client.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <semaphore.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "launcher/config.h"
#include "platform/named_event.h"
#include "support/wait_until.h"

namespace {

namespace fs = std::filesystem;

struct Posted {
  unsigned message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

class RecordingWindow : public LauncherMessageSink {
 public:
  void PostLauncherMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override {
    posted.push_back({message, wParam, lParam});
  }
  std::vector<Posted> posted;
};

// Each test gets its own version folder, run mode (so its started event is
// its own) and runtime folder (so the shell mutex is its own), because CTest
// runs tests side by side.
class LaunchClientTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string id =
        std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    root_ = fs::temp_directory_path() / ("launch-test-" + id);
    fs::remove_all(root_);
    version_ = root_ / "bin" / "1.0.0";
    fs::create_directories(version_);
    fs::create_directories(root_ / "run");
    fs::permissions(root_ / "run", fs::perms::owner_all);
    runMode_ = "teacher" + id;
    setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
    setenv("DEMO_SHELL_RECORD", (root_ / "record.json").c_str(), 1);
    setenv("DEMO_SHELL_STAY_MS", "300", 1);
    setenv("DEMO_SHELL_WINDOW", "0", 1);
    setenv("DEMO_SHELL_MODE", "normal", 1);
  }
  void TearDown() override { fs::remove_all(root_); }

  void InstallShell() { fs::copy_file(DEMO_SHELL_PATH, version_ / "tarkel.shell.exe"); }

  std::chrono::milliseconds Launch() {
    auto start = std::chrono::steady_clock::now();
    LaunchClient(window_, version_.wstring(), L"tarkel.shell",
                 std::wstring(runMode_.begin(), runMode_.end()));
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  }

  std::string Recorded() {
    test_env::WaitUntil([&] { return fs::exists(root_ / "record.json"); }, std::chrono::seconds(10));
    std::ifstream in(root_ / "record.json");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  void ExpectOnly(unsigned message, std::uintptr_t wParam) {
    ASSERT_EQ(window_.posted.size(), 1u);
    EXPECT_EQ(window_.posted[0].message, message);
    EXPECT_EQ(window_.posted[0].wParam, wParam);
    EXPECT_EQ(window_.posted[0].lParam, 0);
  }

  fs::path root_, version_;
  std::string runMode_;
  RecordingWindow window_;
};

TEST_F(LaunchClientTest, ShellThatSignalsIsLaunchedWithItsArgumentAndFolder) {
  InstallShell();
  Launch();
  ExpectOnly(WM_LAUNCHER_LAUNCHED, 0);
  std::string record = Recorded();
  EXPECT_NE(record.find("{\"args\":[\"--CliMode=" + runMode_ + "\"],\"cwd\":\"" + version_.string() + "\""),
            std::string::npos)
      << record;
}

TEST_F(LaunchClientTest, MissingOrNonExecutableShellFailsWithoutWaiting) {
  auto elapsed = Launch();
  ExpectOnly(WM_LAUNCHER_FAILED, FailLaunch);
  EXPECT_LT(elapsed, std::chrono::milliseconds(kLaunchWaitMs / 2));

  window_.posted.clear();
  std::ofstream(version_ / "tarkel.shell.exe") << "not a program";
  elapsed = Launch();
  ExpectOnly(WM_LAUNCHER_FAILED, FailLaunch);
  EXPECT_LT(elapsed, std::chrono::milliseconds(kLaunchWaitMs / 2));
}

TEST_F(LaunchClientTest, ShellThatNeverSignalsFailsAfterTheWait) {
  InstallShell();
  setenv("DEMO_SHELL_MODE", "never-signal", 1);
  auto elapsed = Launch();
  ExpectOnly(WM_LAUNCHER_FAILED, FailLaunch);
  EXPECT_GE(elapsed, std::chrono::milliseconds(kLaunchWaitMs));
}

TEST_F(LaunchClientTest, CountLeftInTheEventByAnEarlierRunDoesNotPassANewLaunch) {
  InstallShell();
  std::string name = platform::NamedEvent::SemaphoreName("luanch." + runMode_);
  sem_t* leftover = sem_open(name.c_str(), O_CREAT, 0600, 2);
  ASSERT_NE(leftover, SEM_FAILED);
  sem_close(leftover);
  setenv("DEMO_SHELL_MODE", "never-signal", 1);
  Launch();
  ExpectOnly(WM_LAUNCHER_FAILED, FailLaunch);
  sem_unlink(name.c_str());
}

TEST_F(LaunchClientTest, ShellThatCrashesAtStartFails) {
  InstallShell();
  setenv("DEMO_SHELL_MODE", "crash", 1);
  Launch();
  ExpectOnly(WM_LAUNCHER_FAILED, FailLaunch);
}

}  // namespace

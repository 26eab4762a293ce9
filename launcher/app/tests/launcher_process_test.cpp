// Runs the real launcher program (the build whose gateway bases are two
// fixed loopback ports) as a child process and checks what it does at
// start-up: which mode it picks, which mutexes stop it, what it logs, what it
// writes and that it always exits with 0.

#include <gtest/gtest.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "launcher/instance_mutex.h"
#include "local_server.h"

extern char** environ;

namespace {

using launcher_test::LocalServer;
using launcher_test::ReadFile;
using launcher_test::ScratchDir;

struct ProcessResult {
  int exit_code = -1;
  std::string standard_error;  // where the debug lines go
};

ProcessResult RunLauncher(const std::vector<std::string>& args, const std::string& folder) {
  std::vector<std::string> words = {LAUNCHER_LOCALGW_EXE};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  ProcessResult result;
  int err[2];
  if (pipe(err) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  posix_spawn_file_actions_addclose(&actions, err[0]);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(err[1]);
  if (rc == 0) {
    char buffer[4096];
    ssize_t n;
    while ((n = read(err[0], buffer, sizeof buffer)) > 0) result.standard_error.append(buffer, n);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  }
  close(err[0]);
  return result;
}

class LauncherProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(scratch_.path().empty());
    // Mutex lock files of this test and its children live in the scratch
    // folder; without a display no window is looked for or raised.
    setenv("XDG_RUNTIME_DIR", scratch_.path().c_str(), 1);
    unsetenv("DISPLAY");
  }
  std::string LogPath() const { return scratch_.path() + "/urltest.log"; }

  ScratchDir scratch_;
};

TEST_F(LauncherProcess, TheKeywordAnywhereRunsTheUrlTestWithoutAnyMutex) {
  // Both names taken: the URL test must not care.
  auto shell = AcquireInstanceMutex(L"tarkel.shell");
  auto other = AcquireInstanceMutex(L"launch.teacher");
  ASSERT_TRUE(shell && other);
  const ProcessResult run = RunLauncher({"--first", "xxUrlTestyy"}, scratch_.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.standard_error.find("already have"), std::string::npos) << run.standard_error;
  // No gateway listens in this test: both probes fail.
  const std::string log = ReadFile(LogPath());
  EXPECT_EQ(log.rfind("begin TestVerUrl with 2 urls\n[0] UrlError https://127.0.0.1:", 0), 0u) << log;
  EXPECT_NE(log.find("done TestVerUrl: 0 dismatch,2 error\n\n"), std::string::npos) << log;
}

TEST_F(LauncherProcess, AnUnopenableReportEndsTheUrlTestSilently) {
  std::filesystem::create_directory(LogPath());  // a folder where the file should be
  const ProcessResult run = RunLauncher({"UrlTest"}, scratch_.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.standard_error, "");
}

TEST_F(LauncherProcess, WithoutTheExactKeywordTheWindowRoadIsTaken) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{}, {"urltest"}, {"Url", "Test"}}) {
    const ProcessResult run = RunLauncher(args, scratch_.path());
    EXPECT_EQ(run.exit_code, 0);
    // Without a display: the reason, then the start-up's own line.
    EXPECT_EQ(run.standard_error, "no display to show the window on (DISPLAY=)\ncan't create dialog\n");
  }
  EXPECT_FALSE(std::filesystem::exists(LogPath()));
}

TEST_F(LauncherProcess, ARunningShellOrLauncherEndsTheStartQuietly) {
  {
    auto shell = AcquireInstanceMutex(L"tarkel.shell");
    ASSERT_TRUE(shell);
    const ProcessResult run = RunLauncher({}, scratch_.path());
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.standard_error, "already have tarkel.shell\n");
  }
  auto other = AcquireInstanceMutex(L"launch.teacher");
  ASSERT_TRUE(other);
  const ProcessResult run = RunLauncher({}, scratch_.path());
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.standard_error, "already have launch.teacher, exit\n");
}

// The one test that binds the fixed gateway ports, so its cases run in turn
// inside it rather than as tests CTest could start side by side.
TEST_F(LauncherProcess, UrlTestAgainstTwoLocalGatewaysAppendsOneBlockPerRun) {
  const std::string primary = "https://127.0.0.1:" + std::to_string(LOCALGW_PRIMARY_PORT);
  const std::string fallback = "https://127.0.0.1:" + std::to_string(LOCALGW_FALLBACK_PORT);
  auto gateway = [](int port, const std::string& body) {
    return std::make_unique<LocalServer>(
        std::vector<std::string>{"--http-port", "-1", "--https-port", std::to_string(port), "--version-path",
                                 "/public/versions/shell/teacher", "--version-body", body});
  };
  const std::string q = "/public/versions/shell/teacher?tm=T";
  const std::string reply = "{\"version\":\"3.1.4\",\"url\":[\"http://cdn/a.zip\"]}";
  std::string expected;
  auto runOnce = [&] {
    const ProcessResult run = RunLauncher({"UrlTest"}, scratch_.path());
    EXPECT_EQ(run.exit_code, 0);
    return std::regex_replace(ReadFile(LogPath()), std::regex("\\?tm=-?[0-9]+"), "?tm=T");
  };

  {
    auto first = gateway(LOCALGW_PRIMARY_PORT, reply);
    auto second = gateway(LOCALGW_FALLBACK_PORT, reply);
    ASSERT_TRUE(first->ready() && second->ready()) << "fixed gateway ports busy";
    expected += "begin TestVerUrl with 2 urls\n[0] got fist response from " + primary + q + "\n " + reply +
                "\ndone TestVerUrl: 0 dismatch,0 error\n\n";
    EXPECT_EQ(runOnce(), expected);  // both equal

    second.reset();
    second = gateway(LOCALGW_FALLBACK_PORT, "{\"version\":\"3.1.5\"}");
    ASSERT_TRUE(second->ready());
    expected += "begin TestVerUrl with 2 urls\n[0] got fist response from " + primary + q + "\n " + reply +
                "\n[1] UrlDismatch " + fallback + q +
                ":\n{\"version\":\"3.1.5\"}\ndone TestVerUrl: 1 dismatch,0 error\n\n";
    EXPECT_EQ(runOnce(), expected);  // replies differ
  }
  {
    auto second = gateway(LOCALGW_FALLBACK_PORT, reply);
    ASSERT_TRUE(second->ready());
    expected += "begin TestVerUrl with 2 urls\n[0] UrlError " + primary + q +
                "\n[1] got fist response from " + fallback + q + "\n " + reply +
                "\ndone TestVerUrl: 0 dismatch,1 error\n\n";
    EXPECT_EQ(runOnce(), expected);  // primary down
  }
  {
    auto first = gateway(LOCALGW_PRIMARY_PORT, "");
    auto second = gateway(LOCALGW_FALLBACK_PORT, reply);
    ASSERT_TRUE(first->ready() && second->ready());
    expected += "begin TestVerUrl with 2 urls\n[0] got fist response from " + primary + q +
                "\n \n[1] got fist response from " + fallback + q + "\n " + reply +
                "\ndone TestVerUrl: 0 dismatch,0 error\n\n";
    EXPECT_EQ(runOnce(), expected);  // empty first reply
  }
}

}  // namespace

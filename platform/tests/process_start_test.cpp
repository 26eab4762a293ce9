#include "platform/process_start.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "support/test_env.h"

namespace {

using platform::ProcessStartResult;
using platform::StartProcess;
using test_env::TempDir;

std::optional<std::string> waitForFile(const std::string& path) {
  for (int i = 0; i < 250; ++i) {
    std::optional<std::string> content = test_env::ReadFile(path);
    if (content && !content->empty() && content->back() == '\n') return content;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return std::nullopt;
}

class ProcessStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test_env::MakeDir(dir_ / "bin");
    // Records its arguments, its folder and whether it leads its own session.
    test_env::WriteFile(script_,
                        "#!/bin/sh\n"
                        "out=\"$(dirname \"$0\")/../report.txt\"\n"
                        "printf '%s|%s|%s|%s\\n' \"$#\" \"$1\" \"$(pwd)\" \"$(cut -d' ' -f6 /proc/$$/stat)\" "
                        "> \"$out.tmp\"\n"
                        "echo $$ >> \"$out.tmp\"\n"
                        "mv \"$out.tmp\" \"$out\"\n");
    ASSERT_EQ(::chmod(script_.c_str(), 0755), 0);
  }
  TempDir dir_;
  std::string script_ = dir_ / "bin/tarkel.shell";
};

TEST_F(ProcessStartTest, RunsWithOneArgumentInItsFolderAsItsOwnSession) {
  ProcessStartResult result = StartProcess(script_, "--CliMode=teacher with space", dir_ / "bin");
  ASSERT_TRUE(result.started) << std::strerror(result.error);
  EXPECT_GT(result.pid, 0);
  std::optional<std::string> report = waitForFile(dir_ / "report.txt");
  ASSERT_TRUE(report) << "the started program never ran";
  std::string pid = std::to_string(result.pid);
  EXPECT_EQ(*report, "1|--CliMode=teacher with space|" + dir_ / "bin" + "|" + pid + "\n" + pid + "\n");
}

TEST_F(ProcessStartTest, FailedExecOrFolderIsReportedNotSuccess) {
  struct Case {
    std::string executable;
    std::string folder;
    int error;
  };
  test_env::WriteFile(dir_ / "bin/plain", "not a program");
  const Case cases[] = {
      {dir_ / "bin/missing", dir_ / "bin", ENOENT},
      {dir_ / "bin/plain", dir_ / "bin", EACCES},
      {dir_ / "bin", dir_ / "bin", EACCES},
      {script_, dir_ / "no-such-folder", ENOENT},
      {"relative/tarkel.shell", dir_ / "bin", ENOENT},
      {"", dir_ / "bin", ENOENT},
  };
  for (const Case& c : cases) {
    ProcessStartResult result = StartProcess(c.executable, "--CliMode=teacher", c.folder);
    EXPECT_FALSE(result.started) << c.executable << " in " << c.folder;
    EXPECT_EQ(result.error, c.error) << c.executable << " in " << c.folder;
    EXPECT_EQ(result.pid, -1);
  }
  EXPECT_FALSE(test_env::Exists(dir_ / "report.txt"));
}

TEST_F(ProcessStartTest, ProgramDoesNotInheritOurOpenFiles) {
  int kept = ::open("/dev/null", O_RDONLY);  // deliberately not close-on-exec
  ASSERT_GE(kept, 3);
  test_env::WriteFile(script_,
                      "#!/bin/sh\nls /proc/$$/fd > \"$(dirname \"$0\")/../fds.tmp\"\n"
                      "echo end >> \"$(dirname \"$0\")/../fds.tmp\"\n"
                      "mv \"$(dirname \"$0\")/../fds.tmp\" \"$(dirname \"$0\")/../fds.txt\"\n");
  ProcessStartResult result = StartProcess(script_, "x", dir_.path());
  ASSERT_TRUE(result.started);
  std::optional<std::string> fds = waitForFile(dir_ / "fds.txt");
  ::close(kept);
  ASSERT_TRUE(fds);
  EXPECT_EQ(fds->find("\n" + std::to_string(kept) + "\n"), std::string::npos) << *fds;
}

TEST_F(ProcessStartTest, StartedProgramIsNotLeftAsOurChild) {
  ProcessStartResult result = StartProcess(script_, "x", dir_ / "bin");
  ASSERT_TRUE(result.started);
  ASSERT_TRUE(waitForFile(dir_ / "report.txt"));
  // The program was adopted elsewhere: there is nothing for us to reap.
  EXPECT_EQ(::waitpid(result.pid, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

}  // namespace

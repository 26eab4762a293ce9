#include "platform/process_start.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace platform {
namespace {

namespace fs = std::filesystem;

class ProcessStartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("kit-start-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "work dir");
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path WriteScript(const std::string& body, fs::perms perms = fs::perms::owner_all) {
    fs::path script = dir_ / "prog.sh";
    std::ofstream(script) << "#!/bin/sh\n" << body;
    fs::permissions(script, perms);
    return script;
  }

  static std::string WaitForFile(const fs::path& file) {
    for (int i = 0; i < 200 && !fs::exists(file); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path dir_;
};

TEST_F(ProcessStartTest, ProgramGetsOneArgumentAndTheWorkingDirectory) {
  fs::path out = dir_ / "out.txt";
  fs::path script = WriteScript("printf '%s|%s|%s' \"$#\" \"$1\" \"$(pwd)\" > '" + out.string() + "'\n");
  StartResult result = StartDetachedProgram(script, "--CliMode=teacher", (dir_ / "work dir").string());
  ASSERT_TRUE(result.started) << result.error;
  EXPECT_EQ(WaitForFile(out), "1|--CliMode=teacher|" + (dir_ / "work dir").string());
}

TEST_F(ProcessStartTest, ProgramDoesNotInheritOurOpenFiles) {
  fs::path out = dir_ / "fds.txt";
  int kept = open("/dev/null", O_RDONLY);  // not close-on-exec
  ASSERT_GE(kept, 3);
  fs::path script = WriteScript("ls /proc/self/fd > '" + out.string() + "'\n");
  ASSERT_TRUE(StartDetachedProgram(script, "x", dir_.string()).started);
  std::string fds = WaitForFile(out);
  close(kept);
  EXPECT_EQ(fds.find(std::to_string(kept) + "\n"), std::string::npos) << fds;
}

TEST_F(ProcessStartTest, ExecFailuresAreReportedNotStarted) {
  StartResult missing = StartDetachedProgram((dir_ / "absent.exe").string(), "x", dir_.string());
  EXPECT_FALSE(missing.started);
  EXPECT_EQ(missing.error, ENOENT);

  fs::path notExecutable = WriteScript("exit 0\n", fs::perms::owner_read | fs::perms::owner_write);
  StartResult denied = StartDetachedProgram(notExecutable.string(), "x", dir_.string());
  EXPECT_FALSE(denied.started);
  EXPECT_EQ(denied.error, EACCES);

  fs::path fine = WriteScript("exit 0\n");
  StartResult badDir = StartDetachedProgram(fine.string(), "x", (dir_ / "no such dir").string());
  EXPECT_FALSE(badDir.started);
  EXPECT_EQ(badDir.error, ENOENT);
}

}  // namespace
}  // namespace platform

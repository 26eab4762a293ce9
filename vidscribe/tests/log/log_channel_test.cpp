// The channel end to end: standard-error output through a pipe, and the
// hand-over to the real log viewer program over its socket.
#include "log/log_channel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

extern char** environ;

namespace vidscribe {
namespace {

void print(LogChannel& channel, const char* tag, const char* format, ...) {
  va_list args;
  va_start(args, format);
  channel.PrintV(tag, format, args);
  va_end(args);
}

void hexDump(LogChannel& channel, const char* tag, const void* data, unsigned length, const char* format,
             ...) {
  va_list args;
  va_start(args, format);
  channel.HexDumpV(tag, data, length, format, args);
  va_end(args);
}

// What a channel writes to "standard error".
class CapturedOutput {
 public:
  CapturedOutput() { EXPECT_EQ(pipe2(fds, O_NONBLOCK), 0); }
  ~CapturedOutput() {
    close(fds[0]);
    close(fds[1]);
  }
  int writeEnd() const { return fds[1]; }
  std::string drain() {
    std::string all;
    char chunk[8192];
    for (ssize_t got; (got = read(fds[0], chunk, sizeof chunk)) > 0;)
      all.append(chunk, static_cast<size_t>(got));
    return all;
  }

 private:
  int fds[2] = {-1, -1};
};

std::string uniqueViewerName() {
  return "Brindle_LogView.test." + std::to_string(getpid()) + "." +
         ::testing::UnitTest::GetInstance()->current_test_info()->name();
}

bool viewerListening(const std::string& name) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address),
                          static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())) == 0;
  close(fd);
  return ok;
}

// The log viewer program, started with its output in a file.
class ViewerProcess {
 public:
  ViewerProcess(const std::string& name, int lines) : outputPath(testing::TempDir() + name + ".out") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const std::string count = std::to_string(lines);
    const char* argv[] = {LOGVIEW_PATH, "--name", name.c_str(), "--count", count.c_str(), nullptr};
    started = posix_spawn(&pid, LOGVIEW_PATH, &actions, nullptr, const_cast<char**>(argv), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    for (int i = 0; started && i < 500 && !viewerListening(name); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  ~ViewerProcess() {
    if (started && !reaped) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
    }
    unlink(outputPath.c_str());
  }
  // Waits for the viewer to exit after its line count; returns what it printed.
  std::string finish() {
    int status = 0;
    for (int i = 0; i < 500; ++i) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        reaped = true;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream in(outputPath);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  bool started = false;

 private:
  std::string outputPath;
  pid_t pid = -1;
  bool reaped = false;
};

TEST(LogChannelViewer, LineReachesOutputAndViewer) {
  const std::string name = uniqueViewerName();
  ViewerProcess viewer(name, 2);
  ASSERT_TRUE(viewer.started);
  CapturedOutput output;
  uint32_t now = 5000;
  LogChannel channel(
      name, [&] { return now; }, output.writeEnd());

  print(channel, "Mp4", "Close %d", 1);
  const uint8_t bytes[] = {0x68, 0xEE, 0x3C, 0x80};
  hexDump(channel, "Flv", bytes, sizeof bytes, "got %s", "pps");

  const std::string received = viewer.finish();
  const std::string written = output.drain();
  EXPECT_EQ(received, written);
  EXPECT_NE(written.find("(Mp4:0): Close 1\n["), std::string::npos) << written;
  EXPECT_NE(written.find("(Flv:0): got pps\n 68 EE 3C 80\n"), std::string::npos) << written;
}

TEST(LogChannelViewer, ViewerStartedLaterIsFoundOnlyAfterTenSeconds) {
  const std::string name = uniqueViewerName();
  CapturedOutput output;
  uint32_t now = 0xFFFFF000u;  // the interval must survive the 32-bit wrap
  LogChannel channel(
      name, [&] { return now; }, output.writeEnd());

  print(channel, "Flv", "before viewer");
  ViewerProcess viewer(name, 1);
  ASSERT_TRUE(viewer.started);
  now += 10000;  // exactly ten seconds: the remembered "no viewer" still holds
  print(channel, "Flv", "still remembered");
  now += 1;
  print(channel, "Flv", "found again");

  const std::string received = viewer.finish();
  EXPECT_NE(received.find("(Flv:0): found again\n"), std::string::npos) << received;
  EXPECT_EQ(received.find("remembered"), std::string::npos) << received;
  // Standard error gets every line whether or not a viewer listens.
  const std::string written = output.drain();
  EXPECT_NE(written.find("before viewer"), std::string::npos);
  EXPECT_NE(written.find("still remembered"), std::string::npos);
}

TEST(LogChannelDrops, NullArgumentsAndOversizedDumpsProduceNothing) {
  CapturedOutput output;
  LogChannel channel(
      uniqueViewerName(), [] { return 0u; }, output.writeEnd());
  print(channel, nullptr, "x");
  const uint8_t bytes[2000] = {};
  hexDump(channel, "Flv", bytes, 0, "empty");
  hexDump(channel, "Flv", nullptr, 4, "null");
  hexDump(channel, "Flv", bytes, sizeof bytes, "too big");  // 6000+ characters
  const std::string huge(5000, 'z');
  print(channel, "Flv", "%s", huge.c_str());
  EXPECT_EQ(output.drain(), "");
  // A '%' inside dumped text is printed, not interpreted.
  hexDump(channel, "Flv", bytes, 1, "100%%s");
  EXPECT_NE(output.drain().find("(Flv:0): 100%s\n 00\n"), std::string::npos);
}

}  // namespace
}  // namespace vidscribe

// The viewer as a user runs it: a real process bound to its abstract socket,
// fed datagrams the way the media library sends them.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct ViewerRun {
  int status = -1;
  std::string out;
  std::string err;
};

// Starts logview with the arguments; `feed` runs while it is alive.
template <typename Feed>
ViewerRun runViewer(const std::vector<std::string>& args, Feed feed) {
  int out[2], err[2];
  EXPECT_EQ(pipe(out), 0);
  EXPECT_EQ(pipe(err), 0);
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    std::vector<char*> argv{const_cast<char*>(LOGVIEW_EXE)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(LOGVIEW_EXE, argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  feed();
  ViewerRun run;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) run.out.append(buffer, n);
  for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;) run.err.append(buffer, n);
  close(out[0]);
  close(err[0]);
  waitpid(child, &run.status, 0);
  return run;
}

ViewerRun runViewer(const std::vector<std::string>& args) {
  return runViewer(args, [] {});
}

int exitCode(const ViewerRun& run) {
  return WIFEXITED(run.status) ? WEXITSTATUS(run.status) : -1;
}

sockaddr_un abstractAddress(const std::string& name, socklen_t* length) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path + 1, name.data(), name.size());
  *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
  return address;
}

// Sends one datagram, retrying while the viewer has not bound its name yet.
bool sendWhenBound(const std::string& name, const std::string& datagram) {
  const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  socklen_t length = 0;
  const sockaddr_un address = abstractAddress(name, &length);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  bool sent = false;
  while (!sent && std::chrono::steady_clock::now() < deadline) {
    sent = sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&address),
                  length) == static_cast<ssize_t>(datagram.size());
    if (!sent) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  close(fd);
  return sent;
}

std::string uniqueName(const char* what) {
  return std::string("logview_test_") + what + "_" + std::to_string(getpid());
}

TEST(Logview, PrintsEachLineUpToItsTerminatorAndStopsAfterTheCount) {
  const std::string name = uniqueName("lines");
  const ViewerRun run = runViewer({"--name", name, "--count", "3"}, [&] {
    EXPECT_TRUE(sendWhenBound(name, std::string("first line\n") + '\0'));
    // Bytes after the terminator are not part of the line.
    EXPECT_TRUE(sendWhenBound(name, std::string("second\n") + '\0' + "stale tail"));
    // A sender that leaves out the terminator still gets its whole text out.
    EXPECT_TRUE(sendWhenBound(name, "third, unterminated\n"));
  });
  EXPECT_EQ(exitCode(run), 0) << run.err;
  EXPECT_EQ(run.out, "first line\nsecond\nthird, unterminated\n");
  EXPECT_EQ(run.err, "");
}

TEST(Logview, RefusesBadArgumentsWithOneLineAndAnExitStatus) {
  const ViewerRun help = runViewer({"--help"});
  EXPECT_EQ(exitCode(help), 0);
  EXPECT_NE(help.out.find("usage: logview"), std::string::npos);

  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--count", "0"}, {"--count", "7x"}, {"--name"}, {"--verbose", "1"}}) {
    const ViewerRun run = runViewer(args);
    EXPECT_EQ(exitCode(run), 2) << args[0];
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_EQ(run.err.rfind("logview: ", 0), 0u) << run.err;
  }
  const ViewerRun tooLong = runViewer({"--name", std::string(200, 'n')});
  EXPECT_EQ(exitCode(tooLong), 1);
  EXPECT_NE(tooLong.err.find("socket name must be 1 to"), std::string::npos) << tooLong.err;
}

TEST(Logview, ASecondViewerOnTheSameNameSaysItCannotBind) {
  const std::string name = uniqueName("taken");
  const int holder = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  socklen_t length = 0;
  const sockaddr_un address = abstractAddress(name, &length);
  ASSERT_EQ(bind(holder, reinterpret_cast<const sockaddr*>(&address), length), 0);
  const ViewerRun run = runViewer({"--name", name});
  close(holder);
  EXPECT_EQ(exitCode(run), 1);
  EXPECT_NE(run.err.find("logview: cannot bind " + name), std::string::npos) << run.err;
}

}  // namespace

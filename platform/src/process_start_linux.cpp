#include "platform/process_start.h"

#include <linux/close_range.h>
#include <sys/syscall.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {
namespace {

// What the helper processes report back through the pipe, in either order:
// the intermediate process sends the program's pid (or its fork error); the
// program sends nothing at all if exec succeeded (the close-on-exec pipe
// just closes) or the errno of the step that failed. Each report is one
// write far below PIPE_BUF, so reports never mix.
enum ReportKind : int { kForked = 1, kFailed = 2 };
struct Report {
  int kind;
  pid_t pid;
  int error;
};

// Only async-signal-safe calls below fork: the caller may have threads.
[[noreturn]] void runProgram(int reportFd, const char* executable, char* const argv[], const char* folder) {
  ::setsid();
  // Sockets and lock files of ours must not live on inside the program
  // (a held lock file would make the next launcher think one still runs).
  ::syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
  int error = 0;
  if (::chdir(folder) != 0) {
    error = errno;
  } else {
    ::execv(executable, argv);
    error = errno;
  }
  Report report{kFailed, ::getpid(), error};
  (void)!::write(reportFd, &report, sizeof report);
  ::_exit(127);
}

bool readFully(int fd, void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  std::size_t got = 0;
  while (got < size) {
    ssize_t n = ::read(fd, bytes + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

ProcessStartResult StartProcess(const std::string& executable, const std::string& argument,
                                const std::string& workingDirectory) {
  ProcessStartResult result;
  if (executable.empty() || executable[0] != '/') {
    result.error = ENOENT;
    return result;
  }
  // Everything the children need is prepared before fork.
  std::string arg0 = executable, arg1 = argument;
  char* argv[] = {arg0.data(), arg1.data(), nullptr};
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    result.error = errno;
    return result;
  }
  // Fork twice: the intermediate process exits at once, so the program is
  // adopted by init and never lingers as our zombie.
  pid_t intermediate = ::fork();
  if (intermediate < 0) {
    result.error = errno;
    ::close(fds[0]);
    ::close(fds[1]);
    return result;
  }
  if (intermediate == 0) {
    ::close(fds[0]);
    pid_t program = ::fork();
    if (program == 0) runProgram(fds[1], executable.c_str(), argv, workingDirectory.c_str());
    Report report{program < 0 ? kFailed : kForked, program, program < 0 ? errno : 0};
    (void)!::write(fds[1], &report, sizeof report);
    ::_exit(0);
  }
  ::close(fds[1]);
  while (::waitpid(intermediate, nullptr, 0) < 0 && errno == EINTR) {
  }
  bool forked = false, failed = false;
  Report report{};
  while (readFully(fds[0], &report, sizeof report)) {
    if (report.kind == kForked) {
      forked = true;
      result.pid = report.pid;
    } else {
      failed = true;
      result.error = report.error;
    }
  }
  // Started means: a program process existed and its exec left no report.
  result.started = forked && !failed;
  if (!result.started) {
    result.pid = -1;
    if (result.error == 0) result.error = EIO;
  }
  ::close(fds[0]);
  return result;
}

}  // namespace platform

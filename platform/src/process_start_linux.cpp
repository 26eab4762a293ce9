#include "platform/process_start.h"

#include <cerrno>
#include <fcntl.h>
#include <linux/close_range.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform {

namespace {

// Only async-signal-safe calls from here on: the caller may have threads.
[[noreturn]] void ReportAndExit(int pipeFd, int error) {
  (void)!write(pipeFd, &error, sizeof error);
  _exit(127);
}

[[noreturn]] void RunGrandchild(int pipeFd, const char* executable, const char* argument,
                                const char* workingDirectory) {
  setsid();
  // Lock files and sockets of the launcher must not outlive it inside the
  // shell (a held lock file would make the next launcher think it runs).
  syscall(SYS_close_range, 3U, ~0U, CLOSE_RANGE_CLOEXEC);
  if (chdir(workingDirectory) != 0) ReportAndExit(pipeFd, errno);
  char* const argv[] = {const_cast<char*>(executable), const_cast<char*>(argument), nullptr};
  execv(executable, argv);
  ReportAndExit(pipeFd, errno);
}

}  // namespace

StartResult StartDetachedProgram(const std::string& executable, const std::string& argument,
                                 const std::string& workingDirectory) {
  StartResult result;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    result.error = errno;
    return result;
  }
  pid_t middle = fork();
  if (middle < 0) {
    result.error = errno;
    close(fds[0]);
    close(fds[1]);
    return result;
  }
  if (middle == 0) {
    close(fds[0]);
    pid_t grandchild = fork();
    if (grandchild < 0) ReportAndExit(fds[1], errno);
    if (grandchild == 0) RunGrandchild(fds[1], executable.c_str(), argument.c_str(), workingDirectory.c_str());
    _exit(0);
  }
  close(fds[1]);
  int status = 0;
  while (waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  // End of file without data means exec closed the pipe: the program runs.
  int error = 0;
  ssize_t got;
  do {
    got = read(fds[0], &error, sizeof error);
  } while (got < 0 && errno == EINTR);
  close(fds[0]);
  if (got == 0) {
    result.started = true;
  } else {
    result.error = got == static_cast<ssize_t>(sizeof error) ? error : EIO;
  }
  return result;
}

}  // namespace platform

// Captures what the process writes to standard error (the log channel's
// debugger output) for the lifetime of the object.
#ifndef VIDSCRIBE_TESTS_STDERR_CAPTURE_H
#define VIDSCRIBE_TESTS_STDERR_CAPTURE_H

#include <fcntl.h>
#include <unistd.h>

#include <string>

class StderrCapture {
 public:
  StderrCapture() {
    saved = dup(2);
    if (pipe2(fds, O_NONBLOCK) == 0) dup2(fds[1], 2);
  }
  ~StderrCapture() {
    dup2(saved, 2);
    close(saved);
    close(fds[0]);
    close(fds[1]);
  }
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  std::string text() {
    char chunk[4096];
    for (ssize_t got; (got = read(fds[0], chunk, sizeof chunk)) > 0;)
      captured.append(chunk, static_cast<size_t>(got));
    return captured;
  }

 private:
  int saved = -1;
  int fds[2] = {-1, -1};
  std::string captured;
};

#endif  // VIDSCRIBE_TESTS_STDERR_CAPTURE_H

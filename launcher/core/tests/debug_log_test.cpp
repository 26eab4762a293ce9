#include "launcher/debug_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

namespace {

// Runs fn with standard error redirected into a pipe and returns what it wrote.
template <typename Fn>
std::string CaptureStderr(Fn fn) {
  int fds[2];
  EXPECT_EQ(pipe(fds), 0);
  int saved = dup(STDERR_FILENO);
  dup2(fds[1], STDERR_FILENO);
  close(fds[1]);
  fn();
  dup2(saved, STDERR_FILENO);
  close(saved);
  std::string out;
  char buf[4096];
  ssize_t n;
  while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  return out;
}

TEST(DebugLogLine, AddsOneNewlineOnlyWhenMissing) {
  EXPECT_EQ(CaptureStderr([] { DebugLog("already have %ls", L"tarkel.shell"); }),
            "already have tarkel.shell\n");
  EXPECT_EQ(CaptureStderr([] { DebugLog("ends with newline\n"); }), "ends with newline\n");
}

TEST(DebugLogLine, EmptyTextOutputsNothing) {
  EXPECT_EQ(CaptureStderr([] { DebugLog("%s", ""); }), "");
}

TEST(DebugLogLine, LongTextIsCutAndMarkedNotDropped) {
  std::string longText(5000, 'x');
  int formatted = 0;
  std::string out = CaptureStderr([&] { formatted = DebugLog("%s", longText.c_str()); });
  EXPECT_EQ(formatted, 5000);
  ASSERT_EQ(out.size(), 1023u);  // 1022 characters of text and the newline
  EXPECT_EQ(out.substr(0, 10), "xxxxxxxxxx");
  EXPECT_NE(out.find("[line cut]\n"), std::string::npos);
}

}  // namespace

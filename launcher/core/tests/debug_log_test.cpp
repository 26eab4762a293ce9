#include "launcher/debug_log.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "support/test_env.h"

namespace {

using test_env::CaptureStderr;

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

#include "log/log_line.h"

#include <gtest/gtest.h>

#include <string>

namespace vidscribe {
namespace {

LogStamp fixedStamp() {
  LogStamp stamp;
  stamp.month = 3;
  stamp.day = 5;
  stamp.hour = 14;
  stamp.minute = 7;
  stamp.second = 9;
  stamp.millisecond = 42;
  stamp.threadId = 3120;
  return stamp;
}

TEST(LogLineLayout, PrefixMessageAndSingleLineFeed) {
  char line[kLogLineSize];
  ASSERT_EQ(FormatLogLine(line, fixedStamp(), "Mp4", "Close"), 43);
  EXPECT_STREQ(line, "[03-05 14:07:09.042] [3120] (Mp4:0): Close\n");
  // A message that already ends the line gets no second line feed.
  FormatLogLine(line, fixedStamp(), "Flv", "done %d\n", 7);
  EXPECT_STREQ(line, "[03-05 14:07:09.042] [3120] (Flv:0): done 7\n");
  // An empty message still ends with a line feed after the prefix's blank.
  FormatLogLine(line, fixedStamp(), "Flv", "%s", "");
  EXPECT_STREQ(line, "[03-05 14:07:09.042] [3120] (Flv:0): \n");
}

TEST(LogLineLayout, OversizedMessageIsDroppedNotCut) {
  char line[kLogLineSize];
  const std::string huge(5000, 'x');
  EXPECT_EQ(FormatLogLine(line, fixedStamp(), "Flv", "%s", huge.c_str()), -1);

  // The longest message that fits leaves exactly the line feed and the NUL.
  const int prefix = FormatLogLine(line, fixedStamp(), "Flv", "%s", "") - 1;
  const std::string fits(static_cast<size_t>(kLogLineSize - 2 - prefix), 'y');
  EXPECT_EQ(FormatLogLine(line, fixedStamp(), "Flv", "%s", fits.c_str()), kLogLineSize - 1);
  EXPECT_EQ(line[kLogLineSize - 2], '\n');
  const std::string tooLong = fits + "y";
  EXPECT_EQ(FormatLogLine(line, fixedStamp(), "Flv", "%s", tooLong.c_str()), -1);
}

TEST(LogHexText, SixteenBytesPerLineUpperCase) {
  uint8_t bytes[17];
  for (int i = 0; i < 17; ++i) bytes[i] = static_cast<uint8_t>(0xE0 + i);
  std::string text = "label";
  ASSERT_TRUE(AppendHexBytes(text, bytes, sizeof bytes, 4096));
  EXPECT_EQ(text, "label\n E0 E1 E2 E3 E4 E5 E6 E7 E8 E9 EA EB EC ED EE EF\n F0");
  std::string big;
  EXPECT_FALSE(AppendHexBytes(big, bytes, 2000, 4096));  // never rendered
}

}  // namespace
}  // namespace vidscribe

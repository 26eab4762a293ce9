// Line framing over a real pipe.
#include "line_channel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace {

TEST(LineChannel, SplitsLinesDropsOverlongOnesWholeAndKeepsAnUnendedLastLine) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const std::string input =
      "first\r\n" + std::string(100, 'x') + "\n\nsecond\n" + std::string(300, 'y') + "\nlast";
  ASSERT_EQ(write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(fds[1]);
  LineChannel channel(fds[0], -1, 64);
  std::string line;
  ASSERT_EQ(channel.ReadLine(line), LineChannel::Read::Line);
  EXPECT_EQ(line, "first");
  EXPECT_EQ(channel.ReadLine(line), LineChannel::Read::TooLong);
  ASSERT_EQ(channel.ReadLine(line), LineChannel::Read::Line);
  EXPECT_EQ(line, "");
  ASSERT_EQ(channel.ReadLine(line), LineChannel::Read::Line);
  EXPECT_EQ(line, "second");
  EXPECT_EQ(channel.ReadLine(line), LineChannel::Read::TooLong);
  ASSERT_EQ(channel.ReadLine(line), LineChannel::Read::Line);
  EXPECT_EQ(line, "last");
  EXPECT_EQ(channel.ReadLine(line), LineChannel::Read::End);
  close(fds[0]);
}

// The brief wait before sleeping must neither lose a line that comes later
// nor hold back one that is already there, nor hide the end of input.
TEST(LineChannel, WaitingAwakeFirstStillDeliversLateLinesAndTheEnd) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  LineChannel channel(fds[0], -1);
  channel.SetSpin(std::chrono::microseconds(200));
  std::thread writer([out = fds[1]] {
    const std::string early = "early\n";
    EXPECT_EQ(write(out, early.data(), early.size()), static_cast<ssize_t>(early.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // far beyond the spin
    const std::string late = "late\n";
    EXPECT_EQ(write(out, late.data(), late.size()), static_cast<ssize_t>(late.size()));
    close(out);
  });
  std::string line;
  ASSERT_EQ(channel.ReadLine(line), LineChannel::Read::Line);
  EXPECT_EQ(line, "early");
  ASSERT_EQ(channel.ReadLine(line), LineChannel::Read::Line);
  EXPECT_EQ(line, "late");
  EXPECT_EQ(channel.ReadLine(line), LineChannel::Read::End);
  writer.join();
  close(fds[0]);
}

TEST(LineChannel, WritesEveryLineAndNoticesAReaderThatLeft) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  {
    LineChannel channel(-1, fds[1]);
    channel.Write("one");
    channel.Write("two");
    EXPECT_TRUE(channel.Flush());
  }
  char buffer[16] = {};
  ASSERT_EQ(read(fds[0], buffer, sizeof buffer), 8);
  EXPECT_EQ(std::string(buffer), "one\ntwo\n");
  close(fds[0]);
  signal(SIGPIPE, SIG_IGN);
  LineChannel orphan(-1, fds[1]);
  orphan.Write("lost");
  EXPECT_FALSE(orphan.Flush());
  EXPECT_TRUE(orphan.broken());
  close(fds[1]);
}

}  // namespace

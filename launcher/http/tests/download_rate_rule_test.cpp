#include "launcher/download_rate_rule.h"

#include <gtest/gtest.h>

#include <vector>

namespace varnel_http {
namespace {

struct RecordingResponder : DownloadProgressResponder {
  void OnProgress(int percent) override { seen.push_back(percent); }
  std::vector<int> seen;
};

constexpr std::int64_t kStart = 1'700'000'000;

// Feeds one call per second at a steady speed; returns the second (relative
// to the start) of the first call that aborts, or -1.
std::int64_t FirstAbortAtSteadySpeed(double bytes_per_second, std::int64_t seconds) {
  DownloadRateRule rule;
  RecordingResponder responder;
  rule.Start(kStart);
  for (std::int64_t t = 1; t <= seconds; ++t) {
    if (rule.OnProgress(kStart + t, 0, bytes_per_second * static_cast<double>(t), &responder)) return t;
  }
  return -1;
}

TEST(DownloadRateRuleAverage, SlowTransfersGoAtTheFirstCallPastFifteenSeconds) {
  EXPECT_EQ(FirstAbortAtSteadySpeed(0, 60), 15);
  EXPECT_EQ(FirstAbortAtSteadySpeed(400, 60), 15);
  EXPECT_EQ(FirstAbortAtSteadySpeed(600, 300), -1);
}

TEST(DownloadRateRuleAverage, AverageHalvesTowardEachSample) {
  DownloadRateRule rule;
  rule.Start(kStart);
  for (int t = 1; t <= 3; ++t) rule.OnProgress(kStart + t, 0, 600.0 * t, nullptr);
  // 300, then 450, then 525: the value the 600 B/s case relies on.
  EXPECT_EQ(rule.smoothed_speed(), 525);
}

TEST(DownloadRateRuleAverage, CallsWithinTheSameSecondTakeNoSample) {
  DownloadRateRule rule;
  RecordingResponder responder;
  rule.Start(kStart);
  EXPECT_FALSE(rule.OnProgress(kStart, 1000, 10, &responder));
  EXPECT_TRUE(responder.seen.empty());
  EXPECT_EQ(rule.smoothed_speed(), 0);
  // A late call covering several seconds divides by the real gap.
  rule.OnProgress(kStart + 4, 1000, 800, &responder);
  EXPECT_EQ(rule.smoothed_speed(), 100);
}

TEST(DownloadRateRuleStall, GivesUpAfterMoreThanThirtySecondsOfStall) {
  DownloadRateRule rule;
  rule.Start(kStart);
  double received = 0;
  for (int t = 1; t <= 20; ++t) {
    received += 1e6;
    ASSERT_FALSE(rule.OnProgress(kStart + t, 0, received, nullptr));
  }
  // Samples far apart keep the average high, so only the stall rule can
  // end this transfer.
  EXPECT_FALSE(rule.OnProgress(kStart + 21, 0, received, nullptr));
  EXPECT_FALSE(rule.OnProgress(kStart + 51, 0, received, nullptr));  // 30 s: not more than 30
  EXPECT_GT(rule.smoothed_speed(), DownloadRateRule::kMinAverage);
  EXPECT_TRUE(rule.OnProgress(kStart + 52, 0, received, nullptr));
}

TEST(DownloadRateRuleStall, AFastSampleEndsTheStall) {
  DownloadRateRule rule;
  rule.Start(kStart);
  double received = 0;
  for (int t = 1; t <= 20; ++t) rule.OnProgress(kStart + t, 0, received += 1e6, nullptr);
  rule.OnProgress(kStart + 21, 0, received, nullptr);
  rule.OnProgress(kStart + 40, 0, received += 1e6, nullptr);  // fast again
  rule.OnProgress(kStart + 41, 0, received, nullptr);
  EXPECT_FALSE(rule.OnProgress(kStart + 70, 0, received, nullptr));
}

TEST(DownloadRateRuleStall, StartForgetsTheEarlierTransfer) {
  DownloadRateRule rule;
  rule.Start(kStart);
  for (int t = 1; t <= 16; ++t) rule.OnProgress(kStart + t, 0, 0, nullptr);
  ASSERT_TRUE(rule.OnProgress(kStart + 17, 0, 0, nullptr));
  rule.Start(kStart + 100);
  EXPECT_FALSE(rule.OnProgress(kStart + 101, 0, 0, nullptr));
}

TEST(DownloadRateRuleProgress, ReportsOnlyKnownTotalsAndStaysWithinZeroToHundred) {
  DownloadRateRule rule;
  RecordingResponder responder;
  rule.Start(kStart);
  rule.OnProgress(kStart + 1, 0, 5000, &responder);       // total unknown
  rule.OnProgress(kStart + 2, 10000, 6789, &responder);   // 67.89 -> 67
  rule.OnProgress(kStart + 3, 10000, 12000, &responder);  // length header undercounts
  rule.OnProgress(kStart + 4, 10000, 0, &responder);      // a redirect hop restarts the count
  EXPECT_EQ(responder.seen, (std::vector<int>{67, 100, 0}));
}

TEST(DownloadRateRuleProgress, HugeByteCountsAndSpeedsDoNotWrap) {
  DownloadRateRule rule;
  RecordingResponder responder;
  rule.Start(kStart);
  const double total = 8e9;  // past what 32-bit counters hold
  rule.OnProgress(kStart + 1, total, 3e9, &responder);
  EXPECT_EQ(rule.smoothed_speed(), 1'500'000'000);
  rule.OnProgress(kStart + 2, total, 7.5e9, &responder);
  EXPECT_EQ(rule.smoothed_speed(), 3'000'000'000);
  EXPECT_EQ(responder.seen, (std::vector<int>{37, 93}));
}

}  // namespace
}  // namespace varnel_http

#pragma once
// Decides when a download is too slow to keep going, and turns byte counts
// into percentages. Kept apart from the transfer so that the time rules can be
// driven by a test clock instead of waiting half a minute.
//
// Once a second (or whenever the next call comes later) a speed sample is
// taken. A transfer is given up when
//   - its running average is under 512 B/s once 15 s have passed since it
//     began (every slow sample halves the average, so a dead transfer goes
//     at the first call past 15 s), or
//   - every sample for more than 30 s showed at most 10 B/s.

#include <cstdint>

#include "launcher/download_progress_responder.h"

namespace varnel_http {

class DownloadRateRule {
 public:
  static constexpr double kStallSpeed = 10.0;       // B/s, at or below = stalled
  static constexpr std::int64_t kStallLimit = 30;   // s of stall before giving up
  static constexpr std::int64_t kGraceTime = 15;    // s before the average counts
  static constexpr std::int64_t kMinAverage = 512;  // B/s

  // Forgets everything about an earlier transfer.
  void Clear();
  // A transfer begins now (seconds since 1970).
  void Start(std::int64_t now);
  // One progress call of the library. Reports a percentage to responder
  // (may be null) on each sample when total is known. Returns true when the
  // transfer must be aborted.
  bool OnProgress(std::int64_t now, double total, double received, DownloadProgressResponder* responder);

  std::int64_t smoothed_speed() const { return smoothed_speed_; }

 private:
  // Returns true when the stall limit is passed.
  bool takeSample(std::int64_t now, double total, double received, DownloadProgressResponder* responder);

  std::int64_t last_sample_time_ = 0;
  std::int64_t stall_since_ = 0;  // 0 = not stalled
  // 64-bit: byte counts of packages past 2 GiB and loopback speeds past
  // 2 GB/s must not overflow.
  std::int64_t last_sample_bytes_ = 0;
  std::int64_t smoothed_speed_ = 0;
  std::int64_t start_time_ = 0;
};

// trunc(received / total * 100), held to 0..100 so that a server whose length
// header undercounts can never push the bar past full.
int ProgressPercent(double total, double received);

}  // namespace varnel_http

#include "launcher/download_rate_rule.h"

#include <cmath>

namespace varnel_http {

void DownloadRateRule::Clear() { *this = DownloadRateRule(); }

void DownloadRateRule::Start(std::int64_t now) {
  Clear();
  start_time_ = now;
  last_sample_time_ = now;
}

int ProgressPercent(double total, double received) {
  if (!(total > 0) || !(received > 0)) return 0;
  const double percent = std::trunc(received / total * 100.0);
  if (percent >= 100.0) return 100;
  return static_cast<int>(percent);
}

bool DownloadRateRule::takeSample(std::int64_t now, double total, double received,
                                  DownloadProgressResponder* responder) {
  const double speed = (received - static_cast<double>(last_sample_bytes_)) /
                       static_cast<double>(now - last_sample_time_);
  if (speed <= kStallSpeed) {
    if (stall_since_ == 0) stall_since_ = now;
    if (now - stall_since_ > kStallLimit) return true;
  } else {
    stall_since_ = 0;
  }
  last_sample_time_ = now;
  last_sample_bytes_ = static_cast<std::int64_t>(received);
  smoothed_speed_ = static_cast<std::int64_t>(static_cast<double>(smoothed_speed_) + speed) / 2;
  if (total > 0 && responder != nullptr) responder->OnProgress(ProgressPercent(total, received));
  return false;
}

bool DownloadRateRule::OnProgress(std::int64_t now, double total, double received,
                                  DownloadProgressResponder* responder) {
  if (now - last_sample_time_ >= 1) {
    if (takeSample(now, total, received, responder)) return true;
  }
  return last_sample_time_ - start_time_ >= kGraceTime && smoothed_speed_ < kMinAverage;
}

}  // namespace varnel_http

#include "line_channel.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

bool LineChannel::fill() {
  if (consumed_ > 0) {
    input_.erase(0, consumed_);
    consumed_ = 0;
  }
  Flush();
  awaitBriefly();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in_, buffer, sizeof buffer);
    if (n > 0) {
      input_.append(buffer, static_cast<size_t>(n));
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

void LineChannel::awaitBriefly() const {
  if (spin_.count() <= 0) return;
  const auto until = std::chrono::steady_clock::now() + spin_;
  pollfd ready{in_, POLLIN, 0};
  do {
    if (::poll(&ready, 1, 0) != 0) return;
  } while (std::chrono::steady_clock::now() < until);
}

LineChannel::Read LineChannel::ReadLine(std::string& line) {
  bool discarding = false;
  // Bytes before `scanned` hold no newline; a long line arriving in many
  // pieces is then searched once, not once per piece.
  size_t scanned = consumed_;
  for (;;) {
    const size_t newline = input_.find('\n', scanned);
    scanned = input_.size();
    if (newline != std::string::npos) {
      discarding = discarding || newline - consumed_ > maxLine_;
      if (!discarding) line.assign(input_, consumed_, newline - consumed_);
      consumed_ = newline + 1;
      if (discarding) return Read::TooLong;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return Read::Line;
    }
    if (input_.size() - consumed_ > maxLine_) {
      discarding = true;
      consumed_ = input_.size();
    }
    const size_t kept = consumed_;
    if (!fill()) {
      // A last line without its newline still counts.
      if (discarding) return Read::TooLong;
      if (consumed_ < input_.size()) {
        line.assign(input_, consumed_, std::string::npos);
        consumed_ = input_.size();
        return Read::Line;
      }
      return Read::End;
    }
    // fill() dropped the consumed bytes from the front.
    scanned -= kept;
  }
}

void LineChannel::Write(const std::string& line) {
  output_ += line;
  output_ += '\n';
  if (output_.size() > (size_t{1} << 20)) Flush();
}

bool LineChannel::Flush() {
  size_t written = 0;
  while (!outputBroken_ && written < output_.size()) {
    const ssize_t n = ::write(out_, output_.data() + written, output_.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      outputBroken_ = true;
    else
      written += static_cast<size_t>(n);
  }
  output_.clear();
  return !outputBroken_;
}

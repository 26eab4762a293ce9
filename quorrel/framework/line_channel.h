// Newline-framed text over a pair of file descriptors. Output is buffered
// and written out before the reader would block, so a burst of replies
// leaves in one write while nothing waits on an unflushed line.
#pragma once

#include <chrono>
#include <string>

class LineChannel {
 public:
  // Longer lines are discarded whole and reported as such.
  static constexpr size_t kMaxLine = size_t{64} << 20;

  LineChannel(int inFd, int outFd, size_t maxLine = kMaxLine) : in_(inFd), out_(outFd), maxLine_(maxLine) {}
  ~LineChannel() { Flush(); }

  enum class Read { Line, TooLong, End };
  Read ReadLine(std::string& line);
  void Write(const std::string& line);
  // False once the other end has gone away.
  bool Flush();
  bool broken() const { return outputBroken_; }
  // How long a read that finds nothing waits awake before it sleeps. The
  // browser's answer to a message usually follows within microseconds;
  // a process that sleeps at once pays for the wake-up on every exchange,
  // which on a virtual machine costs more than the exchange itself.
  void SetSpin(std::chrono::microseconds spin) { spin_ = spin; }

 private:
  bool fill();
  void awaitBriefly() const;

  int in_;
  int out_;
  size_t maxLine_;
  std::string input_;
  size_t consumed_ = 0;
  std::string output_;
  bool outputBroken_ = false;
  std::chrono::microseconds spin_{0};
};

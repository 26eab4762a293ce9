// Hand-over of log lines to an external viewer listening on an abstract
// Unix datagram socket.
#ifndef VIDSCRIBE_LOG_LOG_VIEWER_LINK_H
#define VIDSCRIBE_LOG_LOG_VIEWER_LINK_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace vidscribe {

// The name the log viewer program binds by default.
extern const char kLogViewerName[];

// Milliseconds since an arbitrary start, 32-bit and wrapping.
using TickClock = std::function<uint32_t()>;
uint32_t MonotonicTickCount();

// Finds the viewer by connecting to its socket. A lookup costs a system call
// per line if repeated every time, so the result (including "no viewer") is
// kept for 10 seconds; a viewer started later is found within that time.
// Not thread-safe: the log channel serialises calls.
class LogViewerLink {
 public:
  static constexpr uint32_t kRelookupMs = 10000;

  LogViewerLink(std::string name, TickClock clock);
  ~LogViewerLink();
  LogViewerLink(const LogViewerLink&) = delete;
  LogViewerLink& operator=(const LogViewerLink&) = delete;

  // Sends the line (with its NUL) when a viewer is known; blocks while the
  // viewer's queue is full. Errors are ignored: logging never fails.
  void Deliver(const char* line, size_t lengthWithNul);

  int lookupCount() const { return lookups; }

 private:
  void relookupIfDue();
  void closeSocket();

  std::string name;
  TickClock clock;
  int fd = -1;
  bool looked = false;
  uint32_t lastLookup = 0;
  int lookups = 0;
};

}  // namespace vidscribe

#endif  // VIDSCRIBE_LOG_LOG_VIEWER_LINK_H

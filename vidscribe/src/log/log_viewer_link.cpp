#include "log/log_viewer_link.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

namespace vidscribe {

const char kLogViewerName[] = "Brindle_LogView";

uint32_t MonotonicTickCount() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec / 1000000);
  return static_cast<uint32_t>(ms);
}

LogViewerLink::LogViewerLink(std::string name, TickClock clock)
    : name(std::move(name)), clock(std::move(clock)) {}

LogViewerLink::~LogViewerLink() {
  closeSocket();
}

void LogViewerLink::closeSocket() {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

void LogViewerLink::relookupIfDue() {
  const uint32_t now = clock();
  // Unsigned subtraction keeps the interval right across the 32-bit wrap.
  if (looked && static_cast<uint32_t>(now - lastLookup) <= kRelookupMs) return;
  looked = true;
  lastLookup = now;
  ++lookups;
  closeSocket();

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // Abstract namespace: a leading NUL, then the name without terminator.
  const size_t nameLength = std::min(name.size(), sizeof(address.sun_path) - 1);
  std::memcpy(address.sun_path + 1, name.data(), nameLength);
  const socklen_t addressLength = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + nameLength);

  int candidate = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (candidate < 0) return;
  if (::connect(candidate, reinterpret_cast<const sockaddr*>(&address), addressLength) != 0) {
    ::close(candidate);
    return;
  }
  fd = candidate;
}

void LogViewerLink::Deliver(const char* line, size_t lengthWithNul) {
  relookupIfDue();
  if (fd < 0) return;
  ssize_t sent;
  do {
    sent = ::send(fd, line, lengthWithNul, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
}

}  // namespace vidscribe

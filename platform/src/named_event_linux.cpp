#include "platform/named_event.h"

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <ctime>

namespace platform {
namespace {

// Semaphore names live in /dev/shm as "sem.<name>"; NAME_MAX bounds them.
constexpr std::size_t kMaxSemaphoreName = NAME_MAX - 4;

}  // namespace

std::string NamedEvent::SemaphoreName(const std::string& name) {
  std::string result = "/";
  for (char c : name) result += (c == '/' || c == '\\') ? '.' : c;
  return result;
}

NamedEvent::NamedEvent(const std::string& name, NamedEventMode mode) {
  std::string semName = SemaphoreName(name);
  if (name.empty() || name.find('\0') != std::string::npos || semName.size() > kMaxSemaphoreName) return;
  sem_ = ::sem_open(semName.c_str(), O_CREAT, 0600, 0);
  if (sem_ == SEM_FAILED || mode != NamedEventMode::kCreateFresh) return;
  // The semaphore outlives the programs that use it: a set from a shell
  // started by an earlier launcher may still be counted. Drain it so that
  // only this run's set counts.
  while (::sem_trywait(sem_) == 0 || errno == EINTR) {
  }
}

NamedEvent::~NamedEvent() {
  if (sem_ != SEM_FAILED) ::sem_close(sem_);
}

bool NamedEvent::Set() {
  if (sem_ == SEM_FAILED) return false;
  // An event is set or not; a second set before a wait must not let two
  // waits through. Two racing setters may still leave a count of two, which
  // the next waiter's drain clears.
  int value = 0;
  if (::sem_getvalue(sem_, &value) == 0 && value > 0) return true;
  return ::sem_post(sem_) == 0;
}

EventWaitResult NamedEvent::Wait(unsigned timeoutMs) {
  if (sem_ == SEM_FAILED) return EventWaitResult::kFailed;
  timespec deadline;
  ::clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += static_cast<time_t>(timeoutMs / 1000);
  deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  for (;;) {
    if (::sem_clockwait(sem_, CLOCK_MONOTONIC, &deadline) == 0) return EventWaitResult::kSignaled;
    if (errno == EINTR) continue;  // the deadline is absolute: no time is lost
    return errno == ETIMEDOUT ? EventWaitResult::kTimeout : EventWaitResult::kFailed;
  }
}

}  // namespace platform

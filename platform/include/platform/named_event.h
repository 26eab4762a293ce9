#pragma once
// A machine-wide named auto-reset event: one program sets it, another waits
// for it with a time limit. On Linux it is a POSIX named semaphore whose
// count never goes above one.
#include <semaphore.h>

#include <string>

namespace platform {

enum class NamedEventMode {
  // The waiter's side: a set left over from an earlier run is cleared, so
  // only a set that happens from now on ends a wait.
  kCreateFresh,
  // The setter's side: opens the event (creating it if needed) as it is.
  kOpen,
};

enum class EventWaitResult { kSignaled, kTimeout, kFailed };

class NamedEvent {
 public:
  NamedEvent(const std::string& name, NamedEventMode mode);
  ~NamedEvent();
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  bool valid() const { return sem_ != SEM_FAILED; }
  // Sets the event; setting an event that is already set changes nothing.
  bool Set();
  // Waits until the event is set (and resets it) or timeoutMs pass. The
  // limit runs on the monotonic clock, so a change of the wall clock
  // neither ends the wait early nor stretches it.
  EventWaitResult Wait(unsigned timeoutMs);

  // The semaphore name used for an event name (for diagnostics and tests).
  static std::string SemaphoreName(const std::string& name);

 private:
  sem_t* sem_ = SEM_FAILED;
};

}  // namespace platform

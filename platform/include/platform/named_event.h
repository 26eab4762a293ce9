#pragma once
// A named auto-reset event shared between processes. The launcher creates
// it before it starts the client shell; the shell opens it by name and sets
// it once it is up. Backed by a POSIX named semaphore.
#include <memory>
#include <string>

#include <semaphore.h>

namespace platform {

class NamedEvent {
 public:
  enum class WaitResult { Signaled, TimedOut, Failed };

  // Creates the event, or opens it when it exists. Counts left in it by an
  // earlier run are drained, so only a set that happens after this call can
  // satisfy a wait. Null when the name is not usable or the system refuses.
  static std::unique_ptr<NamedEvent> Create(const std::string& name);
  // Opens an existing event (the setting side). Null when there is none.
  static std::unique_ptr<NamedEvent> Open(const std::string& name);

  ~NamedEvent();
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;

  bool Set();
  // Waits at most timeoutMs on the monotonic clock; a successful wait
  // consumes the set (auto-reset).
  WaitResult Wait(unsigned timeoutMs);

  // The semaphore name used for an event name ("/" + name).
  static std::string SystemName(const std::string& name);

 private:
  NamedEvent(sem_t* semaphore, std::string systemName, bool owner);
  sem_t* semaphore_;
  std::string systemName_;
  bool owner_;  // the creating side removes the name when it lets go
};

}  // namespace platform

#pragma once
// A named auto-reset event: one program sets it, another waits for it with a
// time limit. Names are per user, like a desktop session's namespace: the
// programs of one user meet, another user's never do.
//
// On Linux it is a POSIX named semaphore whose name carries the user id and
// whose count never goes above one. Named semaphores share one folder
// (/dev/shm) with every user, so anyone may create a file under a name we
// would use. Only a semaphore the user owns, private to them, is ever used:
// the waiter creates its own, moving on to the next of a few numbered
// names when one is taken by somebody else, and the setter posts only to the
// first such semaphore it owns. A stranger's file can therefore neither
// satisfy a wait nor keep the setter from reaching the waiter.
#include <semaphore.h>
#include <sys/types.h>

#include <string>

namespace platform {

enum class NamedEventMode {
  // The waiter's side: creates a fresh event (a set left over from an
  // earlier run is never seen) and removes it again when destroyed.
  kCreateFresh,
  // The setter's side: opens the event a waiter created; there is nothing
  // to open (Set fails) while nobody waits.
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

  // The semaphore names an event name may take for the current user, in the
  // order they are tried: the first carries the user id, the others add a
  // number. Empty when the name is unusable.
  static std::string SemaphoreName(const std::string& name, int candidate = 0);
  // Where the system keeps the semaphore of a semaphore name.
  static std::string SemaphoreFile(const std::string& semaphoreName);
  static constexpr int kNameCandidates = 8;

 private:
  bool createFresh(const std::string& name);
  bool openOwn(const std::string& name);

  sem_t* sem_ = SEM_FAILED;
  // The waiter's own semaphore, removed again when it goes.
  std::string createdName_;
  ino_t createdInode_ = 0;
};

}  // namespace platform

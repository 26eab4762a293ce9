#pragma once
// A named mutex, per user like a desktop session's namespace (the programs
// of one user meet, another user's never do). On Linux it is an exclusive
// flock on a lock file named after the mutex in a folder private to the
// user: $XDG_RUNTIME_DIR when it is ours with mode 0700, else
// /tmp/kitlock-<uid>, made 0700 and used only while it is a folder of ours
// without group or other bits. The lock is held for as long as the owner
// lives and goes away with the process, so a crashed holder never blocks a
// new start.
#include <string>

namespace platform {

enum class NamedMutexState {
  kAcquired,       // this process now holds the name
  kAlreadyExists,  // another holder has it
  kFailed,         // no private lock folder, or the lock file could not be made or locked
};

class NamedMutex {
 public:
  // Creates (or opens) the mutex called name and tries to take it at once.
  // Any character of the name is allowed; slashes never leave the lock folder.
  explicit NamedMutex(const std::string& name);
  ~NamedMutex();
  NamedMutex(NamedMutex&& other) noexcept;
  NamedMutex& operator=(NamedMutex&& other) noexcept;
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;

  NamedMutexState state() const { return state_; }
  bool held() const { return state_ == NamedMutexState::kAcquired; }
  // Gives the name up now rather than at destruction; afterwards held() is
  // false and the object holds nothing.
  void Release();

  // Where the lock file of a name lives; empty when the user has no usable
  // lock folder.
  static std::string LockFilePath(const std::string& name);

 private:
  int fd_ = -1;
  NamedMutexState state_ = NamedMutexState::kFailed;
};

}  // namespace platform

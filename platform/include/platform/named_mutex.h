#pragma once
// A machine-wide named mutex. On Linux it is an exclusive flock on a lock
// file named after the mutex, held for as long as the owner lives; the lock
// goes away with the process, so a crashed holder never blocks a new start.
#include <string>

namespace platform {

enum class NamedMutexState {
  kAcquired,       // this process now holds the name
  kAlreadyExists,  // another holder has it
  kFailed,         // the lock file could not be made or locked
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
  // Gives the name up now rather than at destruction.
  void Release();

  // Where the lock file of a name lives ($XDG_RUNTIME_DIR, else /tmp).
  static std::string LockFilePath(const std::string& name);

 private:
  int fd_ = -1;
  NamedMutexState state_ = NamedMutexState::kFailed;
};

}  // namespace platform

#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace platform {
namespace {

std::string lockFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') return runtime;
  return "/tmp";
}

// Slashes and backslashes become dots so that "Global\x" maps to one file
// directly in the lock folder; a leading dot keeps the file out of plain
// listings.
std::string lockFileName(const std::string& name) {
  std::string file = ".kitlock.";
  for (char c : name) file += (c == '/' || c == '\\') ? '.' : c;
  return file;
}

}  // namespace

std::string NamedMutex::LockFilePath(const std::string& name) {
  return lockFolder() + "/" + lockFileName(name);
}

NamedMutex::NamedMutex(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos || lockFileName(name).size() > NAME_MAX) return;
  // O_NOFOLLOW: in a shared /tmp a planted symlink must not make us create
  // or lock some other file. No O_TRUNC: the file carries nothing.
  int fd;
  do {
    fd = ::open(LockFilePath(name).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return;
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc == 0) {
    fd_ = fd;
    state_ = NamedMutexState::kAcquired;
    return;
  }
  state_ = errno == EWOULDBLOCK ? NamedMutexState::kAlreadyExists : NamedMutexState::kFailed;
  ::close(fd);
}

NamedMutex::~NamedMutex() { Release(); }

NamedMutex::NamedMutex(NamedMutex&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), state_(std::exchange(other.state_, NamedMutexState::kFailed)) {}

NamedMutex& NamedMutex::operator=(NamedMutex&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
    state_ = std::exchange(other.state_, NamedMutexState::kFailed);
  }
  return *this;
}

void NamedMutex::Release() {
  // The lock file stays: removing it would let a newcomer lock a fresh inode
  // while a waiter still holds the old one.
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (state_ == NamedMutexState::kAcquired) state_ = NamedMutexState::kFailed;
}

}  // namespace platform

#include "platform/named_mutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

namespace platform {
namespace {

// Opens folder and keeps it only when it is a folder of ours that nobody
// else may enter or write to (mode 0700); -1 otherwise.
int openPrivateFolder(const std::string& folder, int extraFlags) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | extraFlags);
  if (fd < 0) return -1;
  struct stat info;
  if (::fstat(fd, &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 0777) == 0700) return fd;
  ::close(fd);
  return -1;
}

// The user's private lock folder as an open descriptor (path tells where),
// or -1 when there is none to be had. $XDG_RUNTIME_DIR counts only as a
// session sets it up: ours, mode 0700. Otherwise a folder of ours in /tmp
// named after the user. Anybody can put something under that name first;
// it is used only when it is a real folder of ours (no link is followed)
// that nobody else may enter, so a stranger can refuse us the name but
// never share it.
int openLockFolder(std::string& path) {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    int fd = openPrivateFolder(runtime, 0);
    if (fd >= 0) {
      path = runtime;
      return fd;
    }
  }
  const std::string folder = "/tmp/kitlock-" + std::to_string(::geteuid());
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return -1;
  path = folder;
  return openPrivateFolder(folder, O_NOFOLLOW);
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
  std::string folder;
  int fd = openLockFolder(folder);
  if (fd < 0) return std::string();
  ::close(fd);
  return folder + "/" + lockFileName(name);
}

NamedMutex::NamedMutex(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos || lockFileName(name).size() > NAME_MAX) return;
  std::string folderPath;
  int folder = openLockFolder(folderPath);
  if (folder < 0) return;
  // O_NOFOLLOW: no link, even one of our own, makes us create or lock some
  // other file. No O_TRUNC: the file carries nothing.
  int fd;
  do {
    fd = ::openat(folder, lockFileName(name).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  ::close(folder);
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

NamedMutex::~NamedMutex() {
  Release();
}

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

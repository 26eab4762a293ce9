#include "platform/named_event.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <ctime>

namespace platform {
namespace {

// glibc keeps the semaphore "/x" in the file /dev/shm/sem.x; NAME_MAX bounds
// that file name.
constexpr char kSemaphoreFilePrefix[] = "/dev/shm/sem.";
constexpr std::size_t kMaxSemaphoreName = NAME_MAX - 4;

enum class Holder { kNobody, kUs, kSomebodyElse };

struct FileOwner {
  Holder holder = Holder::kNobody;
  bool privateFile = false;  // a regular file nobody but its owner may open
  ino_t inode = 0;
};

FileOwner ownerOf(const std::string& semaphoreName) {
  FileOwner owner;
  struct stat info;
  if (::lstat(NamedEvent::SemaphoreFile(semaphoreName).c_str(), &info) != 0) {
    // Anything but "not there" (a folder on the way we cannot search, say)
    // is a name we cannot use.
    owner.holder = errno == ENOENT ? Holder::kNobody : Holder::kSomebodyElse;
    return owner;
  }
  owner.holder = info.st_uid == ::geteuid() ? Holder::kUs : Holder::kSomebodyElse;
  owner.privateFile = S_ISREG(info.st_mode) && (info.st_mode & 077) == 0;
  owner.inode = info.st_ino;
  return owner;
}

}  // namespace

std::string NamedEvent::SemaphoreName(const std::string& name, int candidate) {
  if (name.empty() || name.find('\0') != std::string::npos) return std::string();
  std::string result = "/";
  for (char c : name) result += (c == '/' || c == '\\') ? '.' : c;
  result += "-uid" + std::to_string(::geteuid());
  if (candidate > 0) result += "-" + std::to_string(candidate);
  return result.size() > kMaxSemaphoreName ? std::string() : result;
}

std::string NamedEvent::SemaphoreFile(const std::string& semaphoreName) {
  return kSemaphoreFilePrefix + semaphoreName.substr(1);
}

NamedEvent::NamedEvent(const std::string& name, NamedEventMode mode) {
  for (int candidate = 0; candidate < kNameCandidates && sem_ == SEM_FAILED; ++candidate) {
    const std::string semaphoreName = SemaphoreName(name, candidate);
    if (semaphoreName.empty()) return;
    if (mode == NamedEventMode::kCreateFresh) {
      createFresh(semaphoreName);
    } else {
      openOwn(semaphoreName);
    }
  }
}

// A semaphore of ours already under the name is a leftover of an earlier
// run (a waiter that was killed): it goes, count and all. One of somebody
// else's stays where it is and the next name is tried.
bool NamedEvent::createFresh(const std::string& name) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    sem_ = ::sem_open(name.c_str(), O_CREAT | O_EXCL, 0600, 0);
    if (sem_ != SEM_FAILED) {
      const FileOwner owner = ownerOf(name);
      if (owner.holder == Holder::kUs && owner.privateFile) {
        createdName_ = name;
        createdInode_ = owner.inode;
        return true;
      }
      // Cannot happen short of a change of our own identity; not usable.
      ::sem_close(sem_);
      sem_ = SEM_FAILED;
      return false;
    }
    if (errno != EEXIST || ownerOf(name).holder != Holder::kUs) return false;
    ::sem_unlink(name.c_str());
  }
  return false;
}

// The name is only trusted when it is a private file of ours before and
// after the open: nobody else can remove or replace a file of ours in the
// sticky /dev/shm, so both checks seeing the same file means the open got it.
bool NamedEvent::openOwn(const std::string& name) {
  const FileOwner before = ownerOf(name);
  if (before.holder != Holder::kUs || !before.privateFile) return false;
  sem_ = ::sem_open(name.c_str(), 0);
  if (sem_ == SEM_FAILED) return false;
  const FileOwner after = ownerOf(name);
  if (after.holder == Holder::kUs && after.privateFile && after.inode == before.inode) return true;
  ::sem_close(sem_);
  sem_ = SEM_FAILED;
  return false;
}

NamedEvent::~NamedEvent() {
  if (sem_ != SEM_FAILED) ::sem_close(sem_);
  // The wait is over: the name goes with it, unless something other than
  // our semaphore stands there by now.
  if (!createdName_.empty()) {
    const FileOwner owner = ownerOf(createdName_);
    if (owner.holder == Holder::kUs && owner.inode == createdInode_) ::sem_unlink(createdName_.c_str());
  }
}

bool NamedEvent::Set() {
  if (sem_ == SEM_FAILED) return false;
  // An event is set or not; a second set before a wait must not let two
  // waits through. Two racing setters may still leave a count of two; the
  // semaphore goes when the wait ends, and the next waiter starts afresh.
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

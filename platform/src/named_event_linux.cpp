#include "platform/named_event.h"

#include <cerrno>
#include <ctime>
#include <fcntl.h>

namespace platform {

namespace {

bool UsableName(const std::string& name) {
  // A semaphore name is one path component: no slash, not empty, not too long.
  return !name.empty() && name.size() <= 250 && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

}  // namespace

std::string NamedEvent::SystemName(const std::string& name) { return "/" + name; }

NamedEvent::NamedEvent(sem_t* semaphore, std::string systemName, bool owner)
    : semaphore_(semaphore), systemName_(std::move(systemName)), owner_(owner) {}

std::unique_ptr<NamedEvent> NamedEvent::Create(const std::string& name) {
  if (!UsableName(name)) return nullptr;
  std::string systemName = SystemName(name);
  sem_t* semaphore = sem_open(systemName.c_str(), O_CREAT, 0600, 0);
  if (semaphore == SEM_FAILED) return nullptr;
  // A shell that set the event after its launcher had given up, or a crash
  // between set and wait, leaves a count behind; it must not let this run's
  // wait pass before this run's shell has set it.
  while (sem_trywait(semaphore) == 0) {
  }
  return std::unique_ptr<NamedEvent>(new NamedEvent(semaphore, std::move(systemName), true));
}

std::unique_ptr<NamedEvent> NamedEvent::Open(const std::string& name) {
  if (!UsableName(name)) return nullptr;
  std::string systemName = SystemName(name);
  sem_t* semaphore = sem_open(systemName.c_str(), 0);
  if (semaphore == SEM_FAILED) return nullptr;
  return std::unique_ptr<NamedEvent>(new NamedEvent(semaphore, std::move(systemName), false));
}

NamedEvent::~NamedEvent() {
  sem_close(semaphore_);
  // Like a kernel event object, the event goes away with its creator's
  // handle; a shell that sets it later finds nothing and nobody waiting.
  if (owner_) sem_unlink(systemName_.c_str());
}

bool NamedEvent::Set() {
  // Auto-reset events do not count: a second set before a wait is lost.
  int value = 0;
  if (sem_getvalue(semaphore_, &value) == 0 && value > 0) return true;
  return sem_post(semaphore_) == 0;
}

NamedEvent::WaitResult NamedEvent::Wait(unsigned timeoutMs) {
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += timeoutMs / 1000;
  deadline.tv_nsec += static_cast<long>(timeoutMs % 1000) * 1000000L;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  for (;;) {
    if (sem_clockwait(semaphore_, CLOCK_MONOTONIC, &deadline) == 0) return WaitResult::Signaled;
    if (errno == EINTR) continue;
    return errno == ETIMEDOUT ? WaitResult::TimedOut : WaitResult::Failed;
  }
}

}  // namespace platform

// The library's lock: one recursive section, so a writer that already holds
// it may call its own locked operations (Close writing the metadata, for
// example). Entered through MutexGuard, which leaves it on scope exit.
#ifndef VIDSCRIBE_BASE_MUTEX_H
#define VIDSCRIBE_BASE_MUTEX_H

#include <mutex>

namespace vidscribe {

class nocopyable {
 protected:
  nocopyable() = default;
  ~nocopyable() = default;

 public:
  nocopyable(const nocopyable&) = delete;
  nocopyable& operator=(const nocopyable&) = delete;
};

class Mutex : private nocopyable {
 public:
  Mutex() = default;
  virtual ~Mutex() = default;

  void Lock() { section.lock(); }
  void Unlock() { section.unlock(); }

 private:
  std::recursive_mutex section;
};

class MutexGuard : private nocopyable {
 public:
  explicit MutexGuard(Mutex& mutex) : mutex(mutex) { mutex.Lock(); }
  ~MutexGuard() { mutex.Unlock(); }

 private:
  Mutex& mutex;
};

}  // namespace vidscribe

#endif  // VIDSCRIBE_BASE_MUTEX_H

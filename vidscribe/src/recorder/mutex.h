// The writer's lock: one recursive mutex, so that WriteMetaData can call
// WriteTag while already holding it.
#ifndef VIDSCRIBE_RECORDER_MUTEX_H
#define VIDSCRIBE_RECORDER_MUTEX_H

#include <mutex>

namespace vidscribe {

class nocopyable {
 public:
  nocopyable(const nocopyable&) = delete;
  nocopyable& operator=(const nocopyable&) = delete;

 protected:
  nocopyable() = default;
  ~nocopyable() = default;
};

class Mutex : private nocopyable {
 public:
  Mutex() = default;
  virtual ~Mutex() = default;

  void Lock() { section.lock(); }
  void Unlock() { section.unlock(); }

  class Guard : private nocopyable {
   public:
    explicit Guard(Mutex& mutex) : mutex(mutex) { mutex.Lock(); }
    ~Guard() { mutex.Unlock(); }

   private:
    Mutex& mutex;
  };

 private:
  std::recursive_mutex section;
};

}  // namespace vidscribe

#endif  // VIDSCRIBE_RECORDER_MUTEX_H

#pragma once
// One thread that runs posted jobs in the order they came. A bound on the
// jobs waiting makes a fast producer wait instead of piling up memory.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class SerialWorker {
 public:
  explicit SerialWorker(std::size_t maxWaiting);
  // Jobs still waiting are dropped: whoever wanted their results has gone.
  ~SerialWorker();
  SerialWorker(const SerialWorker&) = delete;
  SerialWorker& operator=(const SerialWorker&) = delete;

  // Blocks while maxWaiting jobs wait.
  void Post(std::function<void()> job);
  // Returns once every job posted so far has run.
  void Drain();

 private:
  void run();

  const std::size_t maxWaiting_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::function<void()>> jobs_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread thread_;
};

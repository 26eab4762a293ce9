// The renderer thread's queue: protocol messages and posted tasks run from
// it one after another, in the order they were queued.
#pragma once

#include <deque>
#include <functional>
#include <thread>

#include "cef_task.h"

class TaskQueue {
 public:
  TaskQueue();
  ~TaskQueue();

  void Post(std::function<void()> work);
  // Runs queued work, including work queued meanwhile, until none is left.
  void RunUntilIdle();
  bool empty() const { return queue_.empty(); }
  void Clear() { queue_.clear(); }

  // The renderer thread's queue, if this process has one.
  static TaskQueue* ForRenderer();
  bool OnOwnerThread() const { return std::this_thread::get_id() == owner_; }

 private:
  std::deque<std::function<void()>> queue_;
  std::thread::id owner_;
  TaskQueue* previous_;
};

#include "launcher/serial_worker.h"

#include <system_error>

SerialWorker::SerialWorker(std::size_t maxWaiting) : maxWaiting_(maxWaiting > 0 ? maxWaiting : 1) {
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    // No thread to be had: Post runs each job itself, which is slower but
    // gives the same results.
  }
}

SerialWorker::~SerialWorker() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    jobs_.clear();
  }
  changed_.notify_all();
  thread_.join();
}

void SerialWorker::Post(std::function<void()> job) {
  if (!thread_.joinable()) {
    job();
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return jobs_.size() < maxWaiting_; });
  jobs_.push_back(std::move(job));
  changed_.notify_all();
}

void SerialWorker::Drain() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

void SerialWorker::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (stopping_) return;
    std::function<void()> job = std::move(jobs_.front());
    jobs_.pop_front();
    busy_ = true;
    changed_.notify_all();  // room for a waiting producer
    lock.unlock();
    job();
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

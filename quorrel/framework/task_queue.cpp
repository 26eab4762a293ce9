#include "task_queue.h"

namespace {
TaskQueue* gRendererQueue = nullptr;
}

TaskQueue::TaskQueue() : owner_(std::this_thread::get_id()), previous_(gRendererQueue) {
  gRendererQueue = this;
}

TaskQueue::~TaskQueue() {
  gRendererQueue = previous_;
}

TaskQueue* TaskQueue::ForRenderer() {
  return gRendererQueue;
}

void TaskQueue::Post(std::function<void()> work) {
  queue_.push_back(std::move(work));
}

void TaskQueue::RunUntilIdle() {
  while (!queue_.empty()) {
    auto work = std::move(queue_.front());
    queue_.pop_front();
    work();
  }
}

// Only the renderer thread posts here: the layer runs no other threads, so
// the queue needs no lock. A post from elsewhere is refused.
bool CefPostTask(CefThreadId thread_id, CefRefPtr<CefTask> task) {
  TaskQueue* queue = TaskQueue::ForRenderer();
  if (thread_id != TID_RENDERER || !task || !queue || !queue->OnOwnerThread()) return false;
  queue->Post([task] { task->Execute(); });
  return true;
}

bool CefCurrentlyOn(CefThreadId thread_id) {
  TaskQueue* queue = TaskQueue::ForRenderer();
  return thread_id == TID_RENDERER && queue && queue->OnOwnerThread();
}

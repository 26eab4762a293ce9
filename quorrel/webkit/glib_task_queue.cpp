#include "glib_task_queue.h"

#include <glib.h>

#include <deque>
#include <thread>

namespace quorrel_webkit {
namespace {

struct RendererQueue {
  std::thread::id owner;
  std::deque<CefRefPtr<CefTask>> tasks;
  guint source = 0;
};

RendererQueue* gQueue = nullptr;

// Runs the tasks that were queued when the source fired; tasks they post
// wait for the next turn, so other events are not starved.
gboolean runTasks(gpointer) {
  for (size_t n = gQueue->tasks.size(); n > 0 && !gQueue->tasks.empty(); --n) {
    CefRefPtr<CefTask> task = gQueue->tasks.front();
    gQueue->tasks.pop_front();
    task->Execute();
  }
  if (!gQueue->tasks.empty()) return G_SOURCE_CONTINUE;
  gQueue->source = 0;
  return G_SOURCE_REMOVE;
}

}  // namespace

void StartRendererQueue() {
  if (!gQueue) gQueue = new RendererQueue();  // lives as long as the process
  gQueue->owner = std::this_thread::get_id();
}

}  // namespace quorrel_webkit

using quorrel_webkit::gQueue;

bool CefPostTask(CefThreadId thread_id, CefRefPtr<CefTask> task) {
  if (thread_id != TID_RENDERER || !task || !CefCurrentlyOn(TID_RENDERER)) return false;
  gQueue->tasks.push_back(task);
  if (!gQueue->source)
    gQueue->source = g_idle_add_full(G_PRIORITY_DEFAULT, quorrel_webkit::runTasks, nullptr, nullptr);
  return true;
}

bool CefCurrentlyOn(CefThreadId thread_id) {
  return thread_id == TID_RENDERER && gQueue && gQueue->owner == std::this_thread::get_id();
}

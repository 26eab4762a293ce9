// Work posted to a thread's queue. The renderer process has one thread
// that matters, TID_RENDERER; a posted task runs after the work already
// queued there, never inside the call that posts it.
#pragma once

#include "cef_base.h"

enum cef_thread_id_t {
  TID_UI = 0,
  TID_DB = 1,
  TID_FILE = 2,
  TID_FILE_USER_BLOCKING = 3,
  TID_PROCESS_LAUNCHER = 4,
  TID_CACHE = 5,
  TID_IO = 6,
  TID_RENDERER = 7,
};
using CefThreadId = cef_thread_id_t;

class CefTask : public virtual CefBase {
 public:
  virtual void Execute() = 0;
};

// False when the thread does not exist in this process (or not yet).
bool CefPostTask(CefThreadId thread_id, CefRefPtr<CefTask> task);
bool CefCurrentlyOn(CefThreadId thread_id);
inline int cef_post_task(CefThreadId thread_id, CefRefPtr<CefTask> task) {
  return CefPostTask(thread_id, task) ? 1 : 0;
}

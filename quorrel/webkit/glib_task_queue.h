// CefPostTask in a WebKit web process: tasks for TID_RENDERER run from the
// GLib main loop of the thread that started the queue (the web process's
// main thread), in the order they were posted, each after the event that
// posted it has been handled.
#pragma once

#include "cef_task.h"

namespace quorrel_webkit {

// Makes the calling thread the renderer thread.
void StartRendererQueue();

}  // namespace quorrel_webkit

// The library's one diagnostic channel: every line goes to standard error
// and, when a log viewer runs, to the viewer as well. No levels, no file.
#ifndef VIDSCRIBE_LOG_LOG_CHANNEL_H
#define VIDSCRIBE_LOG_LOG_CHANNEL_H

#include <cstdarg>
#include <cstddef>

#include "base/mutex.h"
#include "log/log_viewer_link.h"

namespace vidscribe {

// Process-wide entry points; tags in use: "Flv", "Flash", "Mp4", "Mp4Reader".
void LogPrint(const char* tag, const char* format, ...) __attribute__((format(printf, 2, 3)));
void LogHexDump(const char* tag, const void* data, unsigned length, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// The channel behind the entry points. Tests build their own with a private
// viewer name, a fake clock and a pipe as output.
class LogChannel {
 public:
  LogChannel(std::string viewerName, TickClock clock, int outputFd);

  void PrintV(const char* tag, const char* format, va_list args);
  void HexDumpV(const char* tag, const void* data, unsigned length, const char* format, va_list args);

  // The one channel that LogPrint and LogHexDump use.
  static LogChannel& Process();

 private:
  void emit(const char* line, int length);

  int outputFd;
  // Guards the viewer lookup and hand-over only; standard error is written
  // outside it so a stalled viewer does not also stall that output path.
  Mutex lock;
  LogViewerLink viewer;
};

}  // namespace vidscribe

#endif  // VIDSCRIBE_LOG_LOG_CHANNEL_H

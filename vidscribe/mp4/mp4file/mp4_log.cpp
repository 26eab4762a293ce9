#include "mp4file/mp4_log.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace mp4file {
namespace {

std::mutex& handlerMutex() {
  static std::mutex m;
  return m;
}

LogHandler& handler() {
  static LogHandler h;
  return h;
}

void writeStandardError(const std::string& line) {
  std::string text = "mp4file: " + line + "\n";
  // One write keeps lines from different threads whole.
  ssize_t ignored = ::write(STDERR_FILENO, text.data(), text.size());
  (void)ignored;
}

}  // namespace

void SetLogHandler(LogHandler h) {
  std::lock_guard<std::mutex> guard(handlerMutex());
  handler() = std::move(h);
}

void LogLine(LogSource source, const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  std::string line(buffer);
  std::lock_guard<std::mutex> guard(handlerMutex());
  if (handler()) {
    handler()(source, line);
  } else {
    writeStandardError(line);
  }
}

}  // namespace mp4file

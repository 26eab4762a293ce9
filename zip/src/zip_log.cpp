#include "zip/zip_log.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

#include "zip_log_line.h"

namespace {
std::atomic<ZipLogSink> sink{nullptr};
}  // namespace

void SetZipLogSink(ZipLogSink newSink) {
  sink.store(newSink);
}

void ZipLog(const char* format, ...) {
  ZipLogSink current = sink.load();
  if (current == nullptr) return;
  // Entry names are the longest part; a line cut at this length still says
  // what happened.
  char line[1024];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  current(line);
}

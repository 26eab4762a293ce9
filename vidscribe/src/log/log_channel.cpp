#include "log/log_channel.h"

#include <unistd.h>

#include <cerrno>
#include <string>

#include "log/log_line.h"

namespace vidscribe {

LogChannel::LogChannel(std::string viewerName, TickClock clock, int outputFd)
    : outputFd(outputFd), viewer(std::move(viewerName), std::move(clock)) {}

LogChannel& LogChannel::Process() {
  // Never destroyed: objects with static storage may still log while the
  // process shuts down.
  static LogChannel* channel = new LogChannel(kLogViewerName, MonotonicTickCount, STDERR_FILENO);
  return *channel;
}

void LogChannel::emit(const char* line, int length) {
  // One write per line keeps lines of different threads from interleaving.
  ssize_t written;
  do {
    written = ::write(outputFd, line, static_cast<size_t>(length));
  } while (written < 0 && errno == EINTR);

  MutexGuard hold(lock);
  viewer.Deliver(line, static_cast<size_t>(length) + 1);
}

void LogChannel::PrintV(const char* tag, const char* format, va_list args) {
  if (tag == nullptr || format == nullptr) return;
  const LogStamp stamp = CurrentLogStamp();
  char line[kLogLineSize];
  const int length = FormatLogLineV(line, stamp, tag, format, args);
  if (length < 0) return;
  emit(line, length);
}

namespace {
void printText(LogChannel& channel, const char* tag, const char* format, ...) {
  va_list args;
  va_start(args, format);
  channel.PrintV(tag, format, args);
  va_end(args);
}
}  // namespace

void LogChannel::HexDumpV(const char* tag, const void* data, unsigned length, const char* format,
                          va_list args) {
  if (data == nullptr || tag == nullptr || length == 0 || format == nullptr) return;
  char label[kLogLabelSize];
  if (std::vsnprintf(label, sizeof label, format, args) < 0) return;
  // Logging is called from exported operations and must never throw out of
  // them, not even when memory runs out for the text.
  try {
    std::string text(label);
    if (!AppendHexBytes(text, static_cast<const uint8_t*>(data), length, kLogLineSize)) return;
    // The text is passed as an argument so that a '%' among its bytes is not
    // interpreted a second time.
    printText(*this, tag, "%s", text.c_str());
  } catch (...) {
  }
}

void LogPrint(const char* tag, const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogChannel::Process().PrintV(tag, format, args);
  va_end(args);
}

void LogHexDump(const char* tag, const void* data, unsigned length, const char* format, ...) {
  va_list args;
  va_start(args, format);
  LogChannel::Process().HexDumpV(tag, data, length, format, args);
  va_end(args);
}

}  // namespace vidscribe

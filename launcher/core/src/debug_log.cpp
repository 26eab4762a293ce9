#include "launcher/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "platform/debug_output.h"

namespace {
constexpr int kBufferSize = 1024;
constexpr int kMaxText = kBufferSize - 2;  // room for "\n" and the terminator
constexpr char kCutMarker[] = " [line cut]";
}  // namespace

int DebugLog(const char* format, ...) {
  char buffer[kBufferSize];
  va_list args;
  va_start(args, format);
  int formatted = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (formatted <= 0) return formatted < 0 ? 0 : formatted;

  int length = formatted;
  if (length > kMaxText) {
    // A long gateway reply must not vanish from the log without a trace:
    // keep what fits and mark the cut.
    length = kMaxText - static_cast<int>(sizeof kCutMarker - 1);
    std::memcpy(buffer + length, kCutMarker, sizeof kCutMarker - 1);
    length += static_cast<int>(sizeof kCutMarker - 1);
  }
  if (buffer[length - 1] != '\n') buffer[length++] = '\n';
  platform::WriteDebugOutput(buffer, static_cast<std::size_t>(length));
  return formatted;
}

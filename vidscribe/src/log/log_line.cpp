#include "log/log_line.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace vidscribe {

LogStamp CurrentLogStamp() {
  LogStamp stamp;
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm local{};
  localtime_r(&now.tv_sec, &local);
  stamp.month = local.tm_mon + 1;
  stamp.day = local.tm_mday;
  stamp.hour = local.tm_hour;
  stamp.minute = local.tm_min;
  stamp.second = local.tm_sec;
  stamp.millisecond = static_cast<int>(now.tv_nsec / 1000000);
  stamp.threadId = static_cast<long>(syscall(SYS_gettid));
  return stamp;
}

int FormatLogLineV(char* line, const LogStamp& stamp, const char* tag, const char* format, va_list args) {
  std::memset(line, 0, kLogLineSize);
  int prefix = std::snprintf(line, kLogLineSize,
                             "[%02d-%02d %02d:%02d:%02d.%03d] [%ld] (%s:0): ", stamp.month, stamp.day,
                             stamp.hour, stamp.minute, stamp.second, stamp.millisecond, stamp.threadId, tag);
  // Two bytes stay reserved for the line feed and the NUL.
  const int room = kLogLineSize - 2 - prefix;
  if (prefix < 0 || room < 0) return -1;
  int message = std::vsnprintf(line + prefix, static_cast<size_t>(room) + 1, format, args);
  if (message < 0 || message > room) return -1;
  int length = prefix + message;
  if (message == 0 || line[length - 1] != '\n') line[length++] = '\n';
  line[length] = '\0';
  return length;
}

int FormatLogLine(char* line, const LogStamp& stamp, const char* tag, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int length = FormatLogLineV(line, stamp, tag, format, args);
  va_end(args);
  return length;
}

bool AppendHexBytes(std::string& text, const uint8_t* data, size_t length, size_t maxLength) {
  static const char kDigits[] = "0123456789ABCDEF";
  // Each byte takes three characters, plus one line feed per 16 bytes.
  const size_t needed = length * 3 + (length + 15) / 16;
  if (text.size() + needed > maxLength) return false;
  text.reserve(text.size() + needed);
  for (size_t i = 0; i < length; ++i) {
    if (i % 16 == 0) text.push_back('\n');
    text.push_back(' ');
    text.push_back(kDigits[data[i] >> 4]);
    text.push_back(kDigits[data[i] & 0x0F]);
  }
  return true;
}

}  // namespace vidscribe

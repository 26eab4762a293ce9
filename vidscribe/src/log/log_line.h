// Building one log line: time stamp prefix, caller's message, line feed.
#ifndef VIDSCRIBE_LOG_LOG_LINE_H
#define VIDSCRIBE_LOG_LOG_LINE_H

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vidscribe {

// A line never exceeds this many bytes including its terminating NUL; a
// message that would not fit is dropped whole rather than cut, so a reader
// never sees half a message.
constexpr int kLogLineSize = 4096;
// Room for a hex dump's label; longer labels are cut to fit.
constexpr int kLogLabelSize = 1024;

struct LogStamp {
  int month = 0;  // 1-12
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
  long threadId = 0;
};

// Local time and the calling thread's id.
LogStamp CurrentLogStamp();

// Writes prefix, message and (unless the message ends with one) a line feed
// into line[kLogLineSize]. Returns the line length without NUL, or -1 when
// the line is dropped.
int FormatLogLineV(char* line, const LogStamp& stamp, const char* tag, const char* format, va_list args);
int FormatLogLine(char* line, const LogStamp& stamp, const char* tag, const char* format, ...)
    __attribute__((format(printf, 4, 5)));

// Appends " %02X" per byte with a line feed before byte 0 and every 16th
// byte after it. Returns false (text unspecified) as soon as the text would
// exceed maxLength characters: such a dump would be dropped anyway, and this
// keeps a huge buffer from being rendered for nothing.
bool AppendHexBytes(std::string& text, const uint8_t* data, size_t length, size_t maxLength);

}  // namespace vidscribe

#endif  // VIDSCRIBE_LOG_LOG_LINE_H

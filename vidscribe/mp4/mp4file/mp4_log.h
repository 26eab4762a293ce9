#pragma once
// Where the module's diagnostics go. The library installs a handler that
// forwards to its log channel; until then lines go to standard error, so a
// refused file is never refused silently.
#include <functional>
#include <string>

namespace mp4file {

// Which side decided the failure, so the library can tag the line.
enum class LogSource { Writer, Reader };

using LogHandler = std::function<void(LogSource source, const std::string& line)>;

// Replaces the handler for the whole process; an empty handler restores the
// standard-error default.
void SetLogHandler(LogHandler handler);

void LogLine(LogSource source, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace mp4file

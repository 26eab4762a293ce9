#include "platform/debug_output.h"

#include <unistd.h>
#include <cerrno>

namespace platform {

void WriteDebugOutput(const char* text, std::size_t length) {
  // One write(2) for the whole line keeps it atomic with respect to other
  // writers of the same pipe; retry only when a signal interrupted it before
  // anything was written.
  while (length > 0) {
    ssize_t written = ::write(STDERR_FILENO, text, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text += written;
    length -= static_cast<std::size_t>(written);
  }
}

}  // namespace platform

#pragma once
// The debugger output channel. On Linux a line goes to standard error in a
// single write(2), so lines written by different threads never interleave.
#include <cstddef>

namespace platform {

void WriteDebugOutput(const char* text, std::size_t length);

}  // namespace platform

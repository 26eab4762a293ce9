#pragma once
// The launcher's diagnostic line: printf-style narrow text, one line on the
// debugger output channel, no prefix, no time stamp, no file.

// Returns the number of characters formatted (before any cut). Text past
// 1022 characters is cut and the line says so, rather than being dropped.
int DebugLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

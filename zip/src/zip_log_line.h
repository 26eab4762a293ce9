#pragma once
// The reader's side of the log sink (zip/zip_log.h): printf-style lines.

void ZipLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

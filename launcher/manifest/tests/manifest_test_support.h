#pragma once
// Scratch folders, file writing, shell commands and log capture for the
// manifest tests.

#include <string>

#include "support/test_env.h"

namespace manifesttest {

using ScratchDir = test_env::TempDir;

// Creates parent folders as needed.
void WriteFile(const std::string& path, const std::string& data);
std::string ReadFile(const std::string& path);
// Standard output of a shell command.
std::string Capture(const std::string& command);
// The md5sum digest of a file.
std::string Md5sumOf(const std::string& path);

// Collects what the code under test writes to standard error (the log
// channel) while it is alive.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  std::string Text();

 private:
  int saved_ = -1;
  int readEnd_ = -1;
  std::string text_;
};

}  // namespace manifesttest

#pragma once
// Starts a program the way a desktop shell would: detached from us, with
// one argument and a working directory, and without any of our open files.
#include <string>

namespace platform {

struct StartResult {
  bool started = false;  // the program image was really executed
  int error = 0;         // errno of the failing step when not started
};

// The launcher never waits for the program it starts, so the program is
// started through an intermediate process and is not our child: it leaves
// no zombie behind and lives on when we exit. Exec failures (missing file,
// no execute permission, bad working directory) come back through a
// close-on-exec pipe, so a start is reported only when exec succeeded.
StartResult StartDetachedProgram(const std::string& executable, const std::string& argument,
                                 const std::string& workingDirectory);

}  // namespace platform

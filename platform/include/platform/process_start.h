#pragma once
// Starting a program the way a user would: detached from the starter, with
// one argument and a working directory of its own.
#include <sys/types.h>

#include <string>

namespace platform {

struct ProcessStartResult {
  bool started = false;  // true only when the program really began to run
  int error = 0;         // errno of the step that failed (chdir, exec, fork...)
  pid_t pid = -1;        // the started program, when started
};

// Runs executable (an absolute path; no search along PATH) with argument as
// its only argument and workingDirectory as its current directory. The
// program is not a child of the caller (nobody has to reap it) and starts a
// session of its own, so it outlives the caller and its terminal.
ProcessStartResult StartProcess(const std::string& executable, const std::string& argument,
                                const std::string& workingDirectory);

}  // namespace platform

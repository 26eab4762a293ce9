#pragma once
// The launcher's process entry, apart from main() so that the start-up order
// reads in one place.

#include <string>

// The command-line text after the program name, as one string: the
// arguments joined with single spaces.
std::string ArgumentText(int argc, char** argv);

// Runs the launcher. Always returns 0: every start-up failure is logged and
// ends the process quietly, with no error code for a caller to act on.
int LauncherMain(int argc, char** argv);

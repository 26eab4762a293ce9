#include <cstdlib>

#include "startup.h"

int main(int argc, char** argv) {
  // The accessibility bridge only slows the start and talks to a bus the
  // splash has no use for.
  setenv("NO_AT_BRIDGE", "1", 0);
  return LauncherMain(argc, argv);
}

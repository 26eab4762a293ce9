#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "launcher/update_controller.h"
#include "startup.h"

int main(int argc, char** argv) {
  // The accessibility bridge only slows the start and talks to a bus the
  // splash has no use for.
  setenv("NO_AT_BRIDGE", "1", 0);
  // Wide texts in log lines (%ls) need a UTF-8 character type; the user's
  // locale may be plain "C".
  if (!std::setlocale(LC_CTYPE, "") || MB_CUR_MAX == 1) std::setlocale(LC_CTYPE, "C.UTF-8");
  int code = LauncherMain(argc, argv);
  // Closing the window ends the process even while a worker downloads; its
  // transfer must not meet libraries torn down by the normal exit.
  if (UpdateController::RunningWorkers() > 0) {
    std::fflush(nullptr);
    _exit(code);
  }
  return code;
}

#include "window_step.h"

// No launcher window exists in this build yet, so the start-up takes the
// same road as a window that cannot be created.
WindowRun RunLauncherWindow() { return WindowRun::kNotCreated; }

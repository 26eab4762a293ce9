#include "startup.h"

#include <exception>
#include <optional>

#include "launcher/config.h"
#include "launcher/debug_log.h"
#include "launcher/instance_mutex.h"
#include "launcher/text_table.h"
#include "launcher/url_test.h"
#include "window_step.h"
#include "zip/zip_log.h"

std::string ArgumentText(int argc, char** argv) {
  std::string text;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) text += ' ';
    text += argv[i];
  }
  return text;
}

namespace {

// Window mode: refuse to run beside the shell or another launcher, fix the
// text language, then hand over to the window until it is gone.
void RunWindowMode() {
  // Only a probe: the shell holds this name itself while it runs, so it is
  // given back at once.
  if (!AcquireInstanceMutex(launcher_config::kShellName)) {
    DebugLog("already have %ls", launcher_config::kShellName);
    return;
  }
  std::optional<InstanceMutexHandle> instance = AcquireInstanceMutex(launcher_config::kInstanceName);
  if (!instance) {
    DebugLog("already have %ls, exit", launcher_config::kInstanceName);
    return;
  }
  SelectTextLanguage(launcher_config::kBuildLanguage);
  if (RunLauncherWindow() == WindowRun::kNotCreated) DebugLog("can't create dialog");
  // The launcher mutex is held until here, when the window is gone.
}

}  // namespace

int LauncherMain(int argc, char** argv) {
  SetZipLogSink([](const char* line) { DebugLog("%s", line); });
  try {
    // Case-sensitive and anywhere in the text: "xUrlTesty" selects the
    // mode, "urltest" does not.
    if (ArgumentText(argc, argv).find("UrlTest") != std::string::npos) {
      TestVerUrl();
      return 0;
    }
    RunWindowMode();
  } catch (const std::exception& error) {
    DebugLog("launcher stopped: %s", error.what());
  }
  return 0;
}

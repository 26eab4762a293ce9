#include "launcher/launch_client.h"

#include "launcher/config.h"
#include "launcher/debug_log.h"
#include "launcher/string_util.h"
#include "platform/named_event.h"
#include "platform/process_start.h"

void LaunchClient(LauncherMessageSink& window, const std::wstring& versionFolder,
                  const std::wstring& shellName, const std::wstring& runMode) {
  const std::wstring executable = versionFolder + L"/" + shellName + L".exe";
  const std::wstring eventName = L"luanch." + runMode;
  const std::wstring argument = L"--CliMode=" + runMode;

  // The event exists before the shell does, so the shell can never set it
  // before anyone listens.
  platform::NamedEvent started(WideToAnsi(eventName), platform::NamedEventMode::kCreateFresh);
  if (!started.valid()) DebugLog("can't create event %s", WideToUtf8(eventName).c_str());
  DebugLog("done with exe %s %s", WideToUtf8(executable).c_str(), WideToUtf8(argument).c_str());

  platform::ProcessStartResult start =
      platform::StartProcess(WideToAnsi(executable), WideToAnsi(argument), WideToAnsi(versionFolder));
  bool signaled = false;
  if (!start.started) {
    DebugLog("start of %s failed: errno %d", WideToUtf8(executable).c_str(), start.error);
  } else if (started.valid()) {
    signaled = started.Wait(kLaunchWaitMs) == platform::EventWaitResult::kSignaled;
  }

  if (signaled) {
    window.PostLauncherMessage(WM_LAUNCHER_LAUNCHED, 0, 0);
    return;
  }
  DebugLog("run process %s with args %s error", WideToUtf8(executable).c_str(), WideToUtf8(argument).c_str());
  window.PostLauncherMessage(WM_LAUNCHER_FAILED, FailLaunch, 0);
}

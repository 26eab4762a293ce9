#include "launcher/launch_client.h"

#include "launcher/config.h"
#include "launcher/debug_log.h"
#include "launcher/string_util.h"
#include "platform/named_event.h"
#include "platform/process_start.h"

void LaunchClient(LauncherMessageSink& window, const std::wstring& versionFolder, const std::wstring& shellName,
                  const std::wstring& runMode) {
  const std::wstring executable = versionFolder + L"/" + shellName + L".exe";
  const std::wstring eventName = L"luanch." + runMode;
  const std::wstring argument = L"--CliMode=" + runMode;

  // The event exists before the shell does, so the shell can never set it
  // before anyone listens.
  std::unique_ptr<platform::NamedEvent> started = platform::NamedEvent::Create(WideToAnsi(eventName));
  DebugLog("done with exe %s %s", WideToUtf8(executable).c_str(), WideToUtf8(argument).c_str());

  platform::StartResult start =
      platform::StartDetachedProgram(WideToAnsi(executable), WideToAnsi(argument), WideToAnsi(versionFolder));
  bool signaled = false;
  if (!start.started) {
    DebugLog("start of %s failed: errno %d", WideToUtf8(executable).c_str(), start.error);
  } else if (started) {
    signaled = started->Wait(kLaunchWaitMs) == platform::NamedEvent::WaitResult::Signaled;
  }

  if (signaled) {
    started.reset();
    window.PostLauncherMessage(WM_LAUNCHER_LAUNCHED, 0, 0);
    return;
  }
  DebugLog("run process %s with args %s error", WideToUtf8(executable).c_str(), WideToUtf8(argument).c_str());
  window.PostLauncherMessage(WM_LAUNCHER_FAILED, FailLaunch, 0);
}

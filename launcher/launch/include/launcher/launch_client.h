#pragma once
// Starting the client shell from a checked version folder.
#include <string>

#include "launcher/launcher_messages.h"

// Starts <versionFolder>/<shellName>.exe with the single argument
// "--CliMode=<runMode>" in the version folder and waits up to kLaunchWaitMs
// for the shell to set the event "luanch.<runMode>". Reports exactly once:
// WM_LAUNCHER_LAUNCHED, or WM_LAUNCHER_FAILED with FailLaunch.
void LaunchClient(LauncherMessageSink& window, const std::wstring& versionFolder,
                  const std::wstring& shellName, const std::wstring& runMode);

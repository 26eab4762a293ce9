#pragma once
// The update worker: one background run from the version query to the start
// of the shell, reporting to the window only through posted messages.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "launcher/launcher_messages.h"

struct WorkerSetup {
  std::wstring shellName;
  std::wstring runMode;
  std::shared_ptr<LauncherMessageSink> window;
  // Free bytes on the file system of a path; tests replace it to walk the
  // low-disk road.
  std::function<std::optional<std::uint64_t>(const std::string& path)> freeBytes;
};

// Below this many free bytes the client data folder is reset before a download.
inline constexpr std::uint64_t kLowDiskBytes = 52428800;  // 50 MiB
inline constexpr int kVersionQueryAttempts = 6;
inline constexpr int kDownloadPasses = 3;

// The thread routine. Every run ends with exactly one report: a
// WM_LAUNCHER_FAILED, or LaunchClient's WM_LAUNCHER_LAUNCHED / FailLaunch.
int UpdateThreadProc(WorkerSetup setup);

// The query URL of one attempt: base + path + "?tm=<unix time>" and, when
// the machine id is known, "&id=<id>".
std::string VersionQueryUrl(const std::string& base, std::int32_t unixTime, const std::string& machineId);

#pragma once
// What the update worker and the client launch tell the launcher window.
// They never touch the window: they post one of three messages to it.
#include <cstdint>

inline constexpr unsigned kLauncherUserMessage = 0x0400;                    // first application message id
inline constexpr unsigned WM_LAUNCHER_FAILED = kLauncherUserMessage + 100;  // wParam kind, lParam check code
inline constexpr unsigned WM_LAUNCHER_PROGRESS = kLauncherUserMessage + 101;  // wParam percent 0..100
inline constexpr unsigned WM_LAUNCHER_LAUNCHED = kLauncherUserMessage + 102;

enum UpdateFailure : int {
  FailNone = 0,
  FailNetwork = 1,
  FailDownload = 2,
  FailUnzip = 3,
  FailFileCheck = 4,
  FailLaunch = 5,
};

// The window as the worker sees it. Posting must be safe from any thread and
// must never wait for the window thread.
class LauncherMessageSink {
 public:
  virtual ~LauncherMessageSink() = default;
  virtual void PostLauncherMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
};

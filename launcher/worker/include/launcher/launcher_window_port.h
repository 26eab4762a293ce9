#pragma once
// The launcher window as the update controller sees it: the status line,
// the progress bar and showing the window. The window binds these to its
// controls; tests bind them to a recorder. Called on the window thread only.
#include <string>

class LauncherWindowPort {
 public:
  virtual ~LauncherWindowPort() = default;
  // Each does nothing when the skin has no such control.
  virtual void SetStatusText(const std::wstring& text) = 0;
  virtual void SetProgressValue(int value) = 0;
  virtual void SetProgressText(const std::wstring& text) = 0;
  // Restores and activates the window.
  virtual void ShowNormal() = 0;
};

#pragma once
// The update controller's view of the launcher window, bound to the skin's
// controls, and the worker's way back to the window.
#include <memory>

#include "launcher/launcher_messages.h"
#include "launcher/launcher_window_port.h"
#include "skinui/window_wnd.h"

namespace SkinUI {
class CControlUI;
class CProgressUI;
}  // namespace SkinUI

class LauncherWindowControls : public LauncherWindowPort {
 public:
  explicit LauncherWindowControls(SkinUI::CWindowWnd& window) : window_(window) {}
  // Either may be null: a skin without the control shows nothing of it.
  void Bind(SkinUI::CControlUI* statusLine, SkinUI::CProgressUI* progress) {
    status_ = statusLine;
    progress_ = progress;
  }

  void SetStatusText(const std::wstring& text) override;
  void SetProgressValue(int value) override;
  void SetProgressText(const std::wstring& text) override;
  void ShowNormal() override;

 private:
  SkinUI::CWindowWnd& window_;
  SkinUI::CControlUI* status_ = nullptr;
  SkinUI::CProgressUI* progress_ = nullptr;
};

// Posts by handle: safe from any thread, and after the window is gone the
// messages are simply dropped (handles are never reused).
class WindowMessageSink : public LauncherMessageSink {
 public:
  explicit WindowMessageSink(SkinUI::HWND hwnd) : hwnd_(hwnd) {}
  void PostLauncherMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;

 private:
  const SkinUI::HWND hwnd_;
};

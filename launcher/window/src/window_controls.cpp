#include "launcher/window/window_controls.h"

#include "skinui/control.h"
#include "skinui/progress.h"

void LauncherWindowControls::SetStatusText(const std::wstring& text) {
  if (status_ != nullptr) status_->SetText(text);
}

void LauncherWindowControls::SetProgressValue(int value) {
  if (progress_ != nullptr) progress_->SetValue(value);
}

void LauncherWindowControls::SetProgressText(const std::wstring& text) {
  if (progress_ != nullptr) progress_->SetText(text);
}

void LauncherWindowControls::ShowNormal() {
  if (window_.IsMinimized() && window_.GetHost() != nullptr) window_.GetHost()->Restore();
  window_.ShowWindow(true, true);
}

void WindowMessageSink::PostLauncherMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  SkinUI::PostMessage(hwnd_, message, wParam, lParam);
}

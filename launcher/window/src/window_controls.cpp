#include "launcher/window/window_controls.h"

#include "skinui/control.h"
#include "skinui/progress.h"

void LauncherWindowControls::SetStatusText(const std::wstring& text) {
  if (m_status != nullptr) m_status->SetText(text);
}

void LauncherWindowControls::SetProgressValue(int value) {
  if (m_progress != nullptr) m_progress->SetValue(value);
}

void LauncherWindowControls::SetProgressText(const std::wstring& text) {
  if (m_progress != nullptr) m_progress->SetText(text);
}

void LauncherWindowControls::ShowNormal() {
  if (m_window.IsMinimized() && m_window.GetHost() != nullptr) m_window.GetHost()->Restore();
  m_window.ShowWindow(true, true);
}

void WindowMessageSink::PostLauncherMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  SkinUI::PostMessage(m_hwnd, message, wParam, lParam);
}

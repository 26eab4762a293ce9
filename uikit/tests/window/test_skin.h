#pragma once
// The test skin and a window class that records what reaches it.
#include <string>
#include <vector>

#include "skinui/window_impl_base.h"

namespace SkinUI::test {

std::wstring TestSkinFolder();  // absolute, the generated skin folder
std::string TestSkinZipPath();

class RecordingWindow : public WindowImplBase {
 public:
  explicit RecordingWindow(UILIB_RESOURCETYPE source = UILIB_FILE) : m_source(source) {}

  const wchar_t* WindowClassName() const override { return L"uikit_test_window"; }
  std::wstring SkinFolder() override { return m_folder; }
  std::wstring SkinFile() override { return m_file; }
  UILIB_RESOURCETYPE SkinSource() override { return m_source; }
  std::wstring SkinArchiveName() override { return L"skin.zip"; }
  std::wstring SkinResourceId() override { return m_resourceId; }

  void OnSkinReady() override { ++skinReady; }
  void Notify(TNotifyUI& msg) override {
    notes.push_back(msg.sType + L":" + (msg.pSender != nullptr ? msg.pSender->GetName() : L""));
    WindowImplBase::Notify(msg);
  }
  void OnNotify(TNotifyUI& msg) override {
    clicks.push_back(msg.pSender != nullptr ? msg.pSender->GetName() : L"");
    WindowImplBase::OnNotify(msg);
  }
  void AfterDestroy(HWND) override { ++afterDestroy; }
  LRESULT OnAppMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override {
    if (uMsg >= WM_USER) appMessages.push_back({uMsg, wParam, lParam});
    return WindowImplBase::OnAppMessage(uMsg, wParam, lParam, bHandled);
  }
  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    if (swallowCaptionDoubleClick && uMsg == WM_NCLBUTTONDBLCLK) return 0;
    return WindowImplBase::OnMessage(uMsg, wParam, lParam);
  }

  struct AppMessage {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
  };
  std::vector<AppMessage> appMessages;
  bool swallowCaptionDoubleClick = false;

  std::wstring m_folder = TestSkinFolder();
  std::wstring m_file = L"launcher.xml";
  std::wstring m_resourceId = L"102";
  UILIB_RESOURCETYPE m_source;
  std::vector<std::wstring> notes;
  std::vector<std::wstring> clicks;
  int skinReady = 0;
  int afterDestroy = 0;
};

}  // namespace SkinUI::test

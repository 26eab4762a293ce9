#pragma once
// The launcher's splash window: a borderless skinned window with one status
// line and one progress bar (later the retry button) over a drop shadow. It
// starts the update worker once its skin is built, shows the worker's
// reports and closes itself once the shell has started.
#include <memory>
#include <string>

#include "launcher/update_controller.h"
#include "launcher/window/drop_shadow.h"
#include "launcher/window/window_controls.h"
#include "skinui/window_impl_base.h"

class LuancherDlg : public SkinUI::WindowImplBase {
 public:
  LuancherDlg();
  ~LuancherDlg() override;

  const wchar_t* WindowClassName() const override { return L"tarkel_luancher"; }
  SkinUI::LRESULT OnMessage(SkinUI::UINT uMsg, SkinUI::WPARAM wParam, SkinUI::LPARAM lParam) override;
  // Ends the message loop and deletes this object: the window object lives
  // exactly as long as its window.
  void AfterDestroy(SkinUI::HWND hWnd) override;
  void OnSkinReady() override;
  void OnNotify(SkinUI::TNotifyUI& msg) override;
  std::wstring SkinFolder() override { return L"skin"; }
  std::wstring SkinFile() override { return L"launcher.xml"; }
  SkinUI::UILIB_RESOURCETYPE SkinSource() override { return SkinUI::UILIB_ZIPRESOURCE; }
  std::wstring SkinResourceId() override { return L"102"; }
  SkinUI::LRESULT OnWmLButtonUp(SkinUI::UINT uMsg, SkinUI::WPARAM wParam, SkinUI::LPARAM lParam,
                                bool& bHandled) override;
  SkinUI::LRESULT OnAppMessage(SkinUI::UINT uMsg, SkinUI::WPARAM wParam, SkinUI::LPARAM lParam,
                               bool& bHandled) override;

  // True once the native window existed, even if building the skin failed
  // afterwards: AfterDestroy then still comes and deletes this object.
  bool WindowWasMade() const { return windowMade_; }
  CDropShadow& Shadow() { return shadow_; }
  UpdateController* Controller() { return controller_.get(); }

 private:
  bool WorkerRunning() const { return controller_ && controller_->WorkerRunning(); }
  void StartUpdateWorker();

  std::wstring shellName_ = L"tarkel.shell";
  std::wstring runMode_ = L"teacher";
  SkinUI::CControlUI* outputLine_ = nullptr;
  SkinUI::CControlUI* progress_ = nullptr;
  LauncherWindowControls controls_{*this};
  std::unique_ptr<UpdateController> controller_;
  CDropShadow shadow_;
  bool windowMade_ = false;
};

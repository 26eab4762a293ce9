#pragma once
// The skinned window base: builds its controls from a skin when created,
// routes messages through typed handlers (slot order kept stable for
// subclasses), hit-tests the borderless frame and handles the system
// buttons.
#include <string>

#include "skinui/notify.h"
#include "skinui/paint_manager.h"
#include "skinui/window_wnd.h"

namespace SkinUI {

enum UILIB_RESOURCETYPE {
  UILIB_FILE = 1,         // plain files below the skin folder
  UILIB_ZIP = 2,          // a zip file below the skin folder
  UILIB_RESOURCE = 3,     // an XML resource linked into the program
  UILIB_ZIPRESOURCE = 4,  // a zip resource linked into the program
};

// The caption text of the failure message box and its text.
constexpr const wchar_t* kSkinUICaption = L"SkinUI";
constexpr const wchar_t* kSkinLoadFailedText = L"加载资源文件失败";

class WindowImplBase : public CWindowWnd,
                       public CNotifyPump,
                       public INotifyUI,
                       public IMessageFilterUI,
                       public IDialogBuilderCallback {
 public:
  WindowImplBase();
  ~WindowImplBase() override;  // slot 5

  UINT ClassStyle() const override { return CS_DBLCLKS; }
  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

  virtual void OnSkinReady() {}                                   // 6
  virtual void OnNotify(TNotifyUI& msg);                          // 7
  virtual std::wstring SkinFolder() { return L""; }               // 8
  virtual std::wstring SkinFile() { return L""; }                 // 9
  virtual UILIB_RESOURCETYPE SkinSource() { return UILIB_FILE; }  // 10
  virtual std::wstring SkinArchiveName() { return L""; }          // 11
  virtual std::wstring SkinResourceId() { return L""; }           // 12
  virtual LRESULT OnWmClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmDestroy(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmNcActivate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmNcCalcSize(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmNcPaint(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmMouseWheel(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmMouseHover(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmSize(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmChar(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmKeyDown(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmSetFocus(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmLButtonDown(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmLButtonUp(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnWmMouseMove(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);
  virtual LRESULT OnAppMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled);  // 32
  virtual DWORD WindowStyle() const;                                                      // 33

  // INotifyUI: every notification of this window's controls passes the
  // notification table.
  void Notify(TNotifyUI& msg) override;
  // IMessageFilterUI: sees messages before the controls; passes them on.
  LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
  // IDialogBuilderCallback: knows no extra controls.
  CControlUI* CreateControl(const wchar_t* pstrClass) override;

  PaintManager& GetPaintManager() { return m_pm; }
  CControlUI* FindControl(const std::wstring& name) const { return m_pm.FindControl(name); }

 protected:
  PaintManager m_pm;

 private:
  bool loadSkinSource();
  void syncMaxRestoreButtons(bool maximised);
};

}  // namespace SkinUI

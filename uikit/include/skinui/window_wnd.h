#pragma once
// One native window and its message handling. Posting is safe from any
// thread: messages travel through the event loop and reach the window on
// the loop's thread, or are dropped when the window has gone.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skinui/host.h"
#include "skinui/win_types.h"

namespace SkinUI {

// Sees a window's messages before the window itself, like a replaced window
// procedure; `previous` runs whatever procedure was in place before (other
// subclasses installed earlier, then the window's own OnMessage).
class IWindowSubclass {
 public:
  using Previous = std::function<LRESULT(UINT, WPARAM, LPARAM)>;
  virtual ~IWindowSubclass() = default;
  virtual LRESULT SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                               const Previous& previous) = 0;
};

class CWindowWnd : public IHostWindowSink {
 public:
  CWindowWnd();
  ~CWindowWnd() override;
  CWindowWnd(const CWindowWnd&) = delete;
  CWindowWnd& operator=(const CWindowWnd&) = delete;

  // Slots 0 to 4.
  virtual const wchar_t* WindowClassName() const = 0;
  virtual const wchar_t* BaseClassName() const { return nullptr; }
  virtual UINT ClassStyle() const { return 0; }
  virtual LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);
  virtual void AfterDestroy(HWND hWnd) { (void)hWnd; }

  HWND GetHWND() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }
  IHostWindow* GetHost() const { return m_host.get(); }

  HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT,
              int y = CW_USEDEFAULT, int cx = CW_USEDEFAULT, int cy = CW_USEDEFAULT);
  HWND Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, const RECT& rc);
  void ShowWindow(bool show = true, bool takeFocus = true);
  void CenterWindow();
  // Posts WM_CLOSE with the code in wParam when the window exists.
  void Close(UINT code = 1);
  void DestroyWindow();
  void ResizeClient(int cx, int cy);

  LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
  bool PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);

  // The style bits, with WS_VISIBLE, WS_MAXIMIZE and WS_MINIMIZE telling the
  // window's current state.
  DWORD GetStyle() const;
  void SetStyle(DWORD style) { m_style = style; }
  DWORD GetExStyle() const { return m_exStyle; }
  RECT GetClientRect() const;
  RECT GetWindowRect() const;
  POINT ScreenToClient(POINT pt) const;
  bool IsMaximized() const;
  bool IsMinimized() const;
  bool IsWindowVisible() const;

  // Installs a subclass in front of the current procedure; the last one
  // installed sees messages first. Subclasses are dropped after the
  // window's last message.
  void AddSubclass(IWindowSubclass* subclass);
  void RemoveSubclass(IWindowSubclass* subclass);

  // What the system does with a message nobody handled.
  virtual LRESULT DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam);

  // IHostWindowSink.
  LRESULT HostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  DWORD HostClassStyle() const override { return ClassStyle(); }

 private:
  HWND m_hWnd = 0;
  std::unique_ptr<IHostWindow> m_host;
  HWND m_owner = 0;
  DWORD m_style = 0;
  DWORD m_exStyle = 0;
  std::shared_ptr<bool> m_alive;
  std::vector<IWindowSubclass*> m_subclasses;

  LRESULT dispatch(const std::vector<IWindowSubclass*>& chain, std::size_t depth, UINT uMsg, WPARAM wParam,
                   LPARAM lParam);
};

// Thread-safe post by handle.
bool PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
// The window behind a live handle, or null. Loop thread only.
CWindowWnd* FromHandle(HWND hWnd);

}  // namespace SkinUI

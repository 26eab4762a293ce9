#pragma once
// Notifications: named events a control reports to the window, and the
// interfaces a window implements to receive them and to see messages first.
#include <functional>
#include <string>
#include <vector>

#include "skinui/win_types.h"

namespace SkinUI {

class CControlUI;

struct TNotifyUI {
  std::wstring sType;
  std::wstring sVirtualWnd;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{};
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

class INotifyUI {
 public:
  virtual ~INotifyUI() = default;
  virtual void Notify(TNotifyUI& msg) = 0;
};

class IMessageFilterUI {
 public:
  virtual ~IMessageFilterUI() = default;
  virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

class IDialogBuilderCallback {
 public:
  virtual ~IDialogBuilderCallback() = default;
  // Creates a control for an element name the builder does not know.
  virtual CControlUI* CreateControl(const wchar_t* pstrClass) = 0;
};

// A window's notification table: entries of (type, sender name) and what to
// call. An empty sender name matches every control.
class CNotifyPump {
 public:
  using Handler = std::function<void(TNotifyUI&)>;
  virtual ~CNotifyPump() = default;
  void AddNotifyEntry(const std::wstring& type, const std::wstring& senderName, Handler handler);
  // Runs every entry that matches; true when at least one did.
  bool NotifyPump(TNotifyUI& msg);

 private:
  struct Entry {
    std::wstring type;
    std::wstring senderName;
    Handler handler;
  };
  std::vector<Entry> m_entries;
};

// Milliseconds on the monotonic clock, 32-bit and wrapping.
DWORD GetTickCount();

}  // namespace SkinUI

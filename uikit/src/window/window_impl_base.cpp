#include "skinui/window_impl_base.h"

#include <cwchar>

#include "platform/debug_output.h"
#include "skinui/dialog_builder.h"
#include "skinui/embedded_resource.h"
#include "skinui/skin_resources.h"
#include "skinui/text_convert.h"

namespace SkinUI {
namespace {

// The box shows one fixed text; the log line tells a supporter why.
void logSkinFailure(const std::wstring& file, const std::string& why) {
  const std::string line = "skin \"" + WideToUtf8(file) + "\" not loaded: " + why + "\n";
  platform::WriteDebugOutput(line.data(), line.size());
}

}  // namespace

WindowImplBase::WindowImplBase() {
  AddNotifyEntry(L"click", L"", [this](TNotifyUI& msg) { OnNotify(msg); });
}

WindowImplBase::~WindowImplBase() = default;

LRESULT WindowImplBase::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  LRESULT lRes = 0;
  bool bHandled = true;
  switch (uMsg) {
    case WM_CREATE:
      lRes = OnWmCreate(uMsg, wParam, lParam, bHandled);
      break;
    case WM_CLOSE:
      lRes = OnWmClose(uMsg, wParam, lParam, bHandled);
      break;
    case WM_DESTROY:
      lRes = OnWmDestroy(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCACTIVATE:
      lRes = OnWmNcActivate(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCCALCSIZE:
      lRes = OnWmNcCalcSize(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCPAINT:
      lRes = OnWmNcPaint(uMsg, wParam, lParam, bHandled);
      break;
    case WM_NCHITTEST:
      lRes = OnWmNcHitTest(uMsg, wParam, lParam, bHandled);
      break;
    case WM_GETMINMAXINFO:
      lRes = OnWmGetMinMaxInfo(uMsg, wParam, lParam, bHandled);
      break;
    case WM_MOUSEWHEEL:
      lRes = OnWmMouseWheel(uMsg, wParam, lParam, bHandled);
      break;
    case WM_MOUSEHOVER:
      lRes = OnWmMouseHover(uMsg, wParam, lParam, bHandled);
      break;
    case WM_SIZE:
      lRes = OnWmSize(uMsg, wParam, lParam, bHandled);
      break;
    case WM_CHAR:
      lRes = OnWmChar(uMsg, wParam, lParam, bHandled);
      break;
    case WM_SYSCOMMAND:
      lRes = OnWmSysCommand(uMsg, wParam, lParam, bHandled);
      break;
    case WM_KEYDOWN:
      lRes = OnWmKeyDown(uMsg, wParam, lParam, bHandled);
      break;
    case WM_KILLFOCUS:
      lRes = OnWmKillFocus(uMsg, wParam, lParam, bHandled);
      break;
    case WM_SETFOCUS:
      lRes = OnWmSetFocus(uMsg, wParam, lParam, bHandled);
      break;
    case WM_LBUTTONDOWN:
      lRes = OnWmLButtonDown(uMsg, wParam, lParam, bHandled);
      break;
    case WM_LBUTTONUP:
      lRes = OnWmLButtonUp(uMsg, wParam, lParam, bHandled);
      break;
    case WM_MOUSEMOVE:
      lRes = OnWmMouseMove(uMsg, wParam, lParam, bHandled);
      break;
    default:
      bHandled = false;
      break;
  }
  if (bHandled) return lRes;
  lRes = OnAppMessage(uMsg, wParam, lParam, bHandled);
  if (bHandled) return lRes;
  if (m_pm.PreMessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
  if (m_pm.MessageHandler(uMsg, wParam, lParam, lRes)) return lRes;
  return CWindowWnd::OnMessage(uMsg, wParam, lParam);
}

namespace {

LRESULT notHandled(bool& bHandled) {
  bHandled = false;
  return 0;
}

}  // namespace

LRESULT WindowImplBase::OnWmClose(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}
LRESULT WindowImplBase::OnWmDestroy(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}

LRESULT WindowImplBase::OnWmNcActivate(UINT, WPARAM wParam, LPARAM, bool& bHandled) {
  if (IsMinimized()) return notHandled(bHandled);
  return wParam == 0 ? 1 : 0;
}

// There is no non-client area; when maximised the client fills the work
// area at the window's origin.
LRESULT WindowImplBase::OnWmNcCalcSize(UINT, WPARAM, LPARAM lParam, bool&) {
  if (!IsMaximized() || lParam == 0 || GetHost() == nullptr) return 0;
  auto* rc = reinterpret_cast<RECT*>(lParam);
  const RECT work = GetHost()->GetWorkArea();
  rc->right = rc->left + work.Width();
  rc->bottom = rc->top + work.Height();
  return WVR_REDRAW;
}

LRESULT WindowImplBase::OnWmNcPaint(UINT, WPARAM, LPARAM, bool&) {
  return 0;
}

LRESULT WindowImplBase::OnWmNcHitTest(UINT, WPARAM, LPARAM lParam, bool&) {
  const POINT pt = ScreenToClient({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
  const RECT client = GetClientRect();
  if (!IsMaximized()) {
    const RECT& box = m_pm.GetSizeBox();
    const bool inLeft = box.left > 0 && pt.x < client.left + box.left;
    const bool inRight = box.right > 0 && pt.x >= client.right - box.right;
    if (box.top > 0 && pt.y < client.top + box.top) return inLeft ? HTTOPLEFT : inRight ? HTTOPRIGHT : HTTOP;
    if (box.bottom > 0 && pt.y >= client.bottom - box.bottom)
      return inLeft ? HTBOTTOMLEFT : inRight ? HTBOTTOMRIGHT : HTBOTTOM;
    if (inLeft) return HTLEFT;
    if (inRight) return HTRIGHT;
  }
  const RECT& caption = m_pm.GetCaptionRect();
  if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right && pt.y >= caption.top &&
      pt.y < caption.bottom) {
    CControlUI* control = m_pm.FindControl(pt);
    if (control != nullptr) {
      const std::wstring cls = control->GetClass();
      if (!EqualsNoCase(cls, std::wstring(L"ButtonUI")) && !EqualsNoCase(cls, std::wstring(L"OptionUI")) &&
          !EqualsNoCase(cls, std::wstring(L"TextUI")))
        return HTCAPTION;
    }
  }
  return HTCLIENT;
}

LRESULT WindowImplBase::OnWmGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, bool& bHandled) {
  if (lParam != 0 && GetHost() != nullptr) {
    auto* mmi = reinterpret_cast<MINMAXINFO*>(lParam);
    const RECT work = GetHost()->GetWorkArea();
    mmi->ptMaxPosition = {0, 0};
    mmi->ptMaxTrackSize = {work.Width(), work.Height()};
    mmi->ptMinTrackSize = {m_pm.GetMinInfo().cx, m_pm.GetMinInfo().cy};
  }
  return notHandled(bHandled);
}

LRESULT WindowImplBase::OnWmMouseWheel(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}
LRESULT WindowImplBase::OnWmMouseHover(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}

LRESULT WindowImplBase::OnWmSize(UINT, WPARAM wParam, LPARAM, bool& bHandled) {
  const SIZE corner = m_pm.GetRoundCorner();
  if (wParam != SIZE_MINIMIZED && GetHost() != nullptr && (corner.cx != 0 || corner.cy != 0))
    GetHost()->SetRoundCorner(corner.cx, corner.cy);
  // Maximising is asynchronous on this host, so the buttons also follow
  // the size reports, not only the system command.
  if (wParam == SIZE_MAXIMIZED || wParam == SIZE_RESTORED) syncMaxRestoreButtons(wParam == SIZE_MAXIMIZED);
  return notHandled(bHandled);
}

LRESULT WindowImplBase::OnWmChar(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}

void WindowImplBase::syncMaxRestoreButtons(bool maximised) {
  CControlUI* maxButton = m_pm.FindControl(L"maxbtn");
  CControlUI* restoreButton = m_pm.FindControl(L"restorebtn");
  if (maxButton == nullptr || restoreButton == nullptr) return;
  maxButton->SetVisible(!maximised);
  restoreButton->SetVisible(maximised);
}

LRESULT WindowImplBase::OnWmSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, bool&) {
  if (wParam == SC_CLOSE) {
    SendMessage(WM_CLOSE);
    return 0;
  }
  const bool wasMaximised = IsMaximized();
  const LRESULT lRes = CWindowWnd::DefWindowProc(uMsg, wParam, lParam);
  if (wasMaximised != IsMaximized()) syncMaxRestoreButtons(!wasMaximised);
  return lRes;
}

// Registers the skin archive the window names. False means the skin can
// not be read at all; for a missing linked archive the window stays empty.
bool WindowImplBase::loadSkinSource() {
  if (SkinSource() == UILIB_ZIP) return ResourceStore::SetResourceZipFile(SkinArchiveName());
  if (SkinSource() != UILIB_ZIPRESOURCE) return true;
  if (ResourceStore::IsResourceZipMemBuffer()) return true;
  const std::wstring id = SkinResourceId();
  const EmbeddedResource* res =
      FindEmbeddedResource("ZIPRES", static_cast<int>(std::wcstol(id.c_str(), nullptr, 10)));
  if (res == nullptr || res->size == 0) return true;
  // Linked data lives as long as the process, like the copied block the
  // archive must outlast.
  return ResourceStore::SetResourceZipMemory(res->data, res->size);
}

LRESULT WindowImplBase::OnWmCreate(UINT, WPARAM, LPARAM, bool&) {
  SetStyle((GetStyle() & ~WS_CAPTION) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
  m_pm.Init(this);
  m_pm.AddPreMessageFilter(this);

  const std::wstring folder = SkinFolder();
  ResourceStore::SetResourcePath(!folder.empty() && folder[0] == L'/' ? folder : GetModuleFolder() + folder);

  if (SkinSource() == UILIB_ZIPRESOURCE && !ResourceStore::IsResourceZipMemBuffer()) {
    const EmbeddedResource* res =
        FindEmbeddedResource("ZIPRES", static_cast<int>(std::wcstol(SkinResourceId().c_str(), nullptr, 10)));
    if (res == nullptr || res->size == 0) return 0;
  }
  CControlUI* root = nullptr;
  std::string why = "the skin archive could not be opened";
  if (loadSkinSource()) {
    CDialogBuilder builder;
    root = builder.Create(SkinFile(), SkinSource() == UILIB_RESOURCE ? L"xml" : L"", this, &m_pm);
    why = builder.LastError();
  }
  if (root == nullptr) {
    logSkinFailure(SkinFile(), why);
    SkinMessageBox(GetHWND(), kSkinLoadFailedText, kSkinUICaption, MessageBoxIcon::Error);
    return -1;
  }
  m_pm.AttachDialog(root);
  m_pm.AddNotifier(this);
  OnSkinReady();
  return 0;
}

LRESULT WindowImplBase::OnWmKeyDown(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}
LRESULT WindowImplBase::OnWmKillFocus(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}
LRESULT WindowImplBase::OnWmSetFocus(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}
LRESULT WindowImplBase::OnWmLButtonDown(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}
LRESULT WindowImplBase::OnWmLButtonUp(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}
LRESULT WindowImplBase::OnWmMouseMove(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}
LRESULT WindowImplBase::OnAppMessage(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}

DWORD WindowImplBase::WindowStyle() const {
  return GetStyle() & ~WS_CAPTION;
}

void WindowImplBase::Notify(TNotifyUI& msg) {
  NotifyPump(msg);
}

LRESULT WindowImplBase::MessageHandler(UINT, WPARAM, LPARAM, bool& bHandled) {
  return notHandled(bHandled);
}

CControlUI* WindowImplBase::CreateControl(const wchar_t*) {
  return nullptr;
}

// The system buttons are recognised by name alone.
void WindowImplBase::OnNotify(TNotifyUI& msg) {
  if (msg.pSender == nullptr) return;
  const std::wstring& name = msg.pSender->GetName();
  if (name == L"closebtn") {
    Close(1);
  } else if (name == L"minbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (name == L"maxbtn") {
    SendMessage(WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  } else if (name == L"restorebtn") {
    SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
  }
}

}  // namespace SkinUI

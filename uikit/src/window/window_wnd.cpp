#include "skinui/window_wnd.h"

#include <algorithm>
#include <unordered_map>

namespace SkinUI {
namespace {

// Live windows by handle. Only the loop thread touches this table; other
// threads reach windows by posting a task that looks the handle up there.
std::unordered_map<HWND, CWindowWnd*>& handleTable() {
  static std::unordered_map<HWND, CWindowWnd*> table;
  return table;
}

HWND nextHandle() {
  static HWND next = 0x100;
  return next += 4;
}

}  // namespace

CWindowWnd* FromHandle(HWND hWnd) {
  auto it = handleTable().find(hWnd);
  return it == handleTable().end() ? nullptr : it->second;
}

bool PostMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (hWnd == 0) return false;
  GetEventLoop().Post([hWnd, uMsg, wParam, lParam] {
    if (CWindowWnd* wnd = FromHandle(hWnd)) wnd->SendMessage(uMsg, wParam, lParam);
  });
  return true;
}

CWindowWnd::CWindowWnd() : m_alive(std::make_shared<bool>(true)) {}

CWindowWnd::~CWindowWnd() {
  *m_alive = false;
  if (m_hWnd != 0) {
    // Deleted without being destroyed: drop the native window quietly.
    handleTable().erase(m_hWnd);
    m_hWnd = 0;
  }
  m_host.reset();
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, const RECT& rc) {
  return Create(parent, name, style, exStyle, rc.left, rc.top, rc.Width(), rc.Height());
}

HWND CWindowWnd::Create(HWND parent, const wchar_t* name, DWORD style, DWORD exStyle, int x, int y, int cx,
                        int cy) {
  if (m_hWnd != 0) return m_hWnd;
  HostWindowParams params;
  params.title = name != nullptr ? name : L"";
  params.className = WindowClassName() != nullptr ? WindowClassName() : L"";
  params.style = style;
  params.exStyle = exStyle;
  params.x = x;
  params.y = y;
  params.cx = cx;
  params.cy = cy;
  params.owner = parent;
  if (CWindowWnd* owner = FromHandle(parent); owner != nullptr && owner->GetHost() != nullptr)
    params.ownerNative = owner->GetHost()->NativeHandle();
  m_owner = parent;
  m_style = style;
  m_exStyle = exStyle;
  m_host = GetEventLoop().CreateHostWindow(this, params);
  if (!m_host) return 0;
  m_hWnd = nextHandle();
  handleTable()[m_hWnd] = this;
  SendMessage(WM_NCCREATE);
  if (SendMessage(WM_CREATE) == -1) {
    DestroyWindow();
    return 0;
  }
  MINMAXINFO mmi{};
  const RECT work = m_host->GetWorkArea();
  mmi.ptMaxSize = {work.Width(), work.Height()};
  mmi.ptMaxTrackSize = {work.Width(), work.Height()};
  SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  if (m_host)
    m_host->SetMinMaxSize({mmi.ptMinTrackSize.x, mmi.ptMinTrackSize.y},
                          {mmi.ptMaxTrackSize.x, mmi.ptMaxTrackSize.y});
  const RECT rc = GetClientRect();
  SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(rc.Width(), rc.Height()));
  return m_hWnd;
}

void CWindowWnd::ShowWindow(bool show, bool takeFocus) {
  if (m_host) m_host->Show(show, takeFocus);
}

// Centred on the owner, or on the work area without one, but kept inside
// the work area.
void CWindowWnd::CenterWindow() {
  if (!m_host) return;
  const RECT work = m_host->GetWorkArea();
  const RECT self = m_host->GetWindowRect();
  RECT ref = work;
  if (CWindowWnd* owner = FromHandle(m_owner)) ref = owner->GetWindowRect();
  const int w = self.Width();
  const int h = self.Height();
  int x = (ref.left + ref.right) / 2 - w / 2;
  int y = (ref.top + ref.bottom) / 2 - h / 2;
  if (x < work.left) {
    x = work.left;
  } else if (x + w > work.right) {
    x = work.right - w;
  }
  if (y < work.top) {
    y = work.top;
  } else if (y + h > work.bottom) {
    y = work.bottom - h;
  }
  m_host->Move(x, y);
}

void CWindowWnd::Close(UINT code) {
  if (m_hWnd != 0) PostMessage(WM_CLOSE, code, 0);
}

void CWindowWnd::DestroyWindow() {
  if (m_hWnd != 0 && m_host) m_host->Destroy();
}

void CWindowWnd::ResizeClient(int cx, int cy) {
  if (m_host) m_host->Resize(cx, cy);
}

LRESULT CWindowWnd::SendMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return HostMessage(uMsg, wParam, lParam);
}

bool CWindowWnd::PostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return ::SkinUI::PostMessage(m_hWnd, uMsg, wParam, lParam);
}

RECT CWindowWnd::GetClientRect() const {
  if (!m_host) return {};
  const RECT rc = m_host->GetWindowRect();
  return {0, 0, rc.Width(), rc.Height()};
}

RECT CWindowWnd::GetWindowRect() const {
  return m_host ? m_host->GetWindowRect() : RECT{};
}

POINT CWindowWnd::ScreenToClient(POINT pt) const {
  const RECT rc = GetWindowRect();
  return {pt.x - rc.left, pt.y - rc.top};
}

bool CWindowWnd::IsMaximized() const {
  return m_host && m_host->IsMaximized();
}
bool CWindowWnd::IsMinimized() const {
  return m_host && m_host->IsMinimized();
}
bool CWindowWnd::IsWindowVisible() const {
  return m_host && m_host->IsVisible();
}

LRESULT CWindowWnd::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(uMsg, wParam, lParam);
}

DWORD CWindowWnd::GetStyle() const {
  DWORD style = m_style & ~(WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE);
  if (IsWindowVisible()) style |= WS_VISIBLE;
  if (IsMaximized()) style |= WS_MAXIMIZE;
  if (IsMinimized()) style |= WS_MINIMIZE;
  return style;
}

void CWindowWnd::AddSubclass(IWindowSubclass* subclass) {
  if (subclass != nullptr &&
      std::find(m_subclasses.begin(), m_subclasses.end(), subclass) == m_subclasses.end())
    m_subclasses.push_back(subclass);
}

void CWindowWnd::RemoveSubclass(IWindowSubclass* subclass) {
  m_subclasses.erase(std::remove(m_subclasses.begin(), m_subclasses.end(), subclass), m_subclasses.end());
}

// Runs the chain from its newest subclass down to OnMessage. The chain is a
// copy taken per message, so a subclass may remove itself meanwhile.
LRESULT CWindowWnd::dispatch(const std::vector<IWindowSubclass*>& chain, std::size_t depth, UINT uMsg,
                             WPARAM wParam, LPARAM lParam) {
  if (depth == 0) return OnMessage(uMsg, wParam, lParam);
  return chain[depth - 1]->SubclassProc(
      m_hWnd, uMsg, wParam, lParam,
      [this, &chain, depth](UINT m, WPARAM w, LPARAM l) { return dispatch(chain, depth - 1, m, w, l); });
}

LRESULT CWindowWnd::HostMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (m_hWnd == 0 && uMsg != WM_NCDESTROY) return 0;
  const std::vector<IWindowSubclass*> chain = m_subclasses;
  if (uMsg != WM_NCDESTROY) return dispatch(chain, chain.size(), uMsg, wParam, lParam);
  // The last message. AfterDestroy may delete this object, so it runs from
  // the loop once every frame that holds `this` has returned.
  dispatch(chain, chain.size(), uMsg, wParam, lParam);
  m_subclasses.clear();
  const HWND hWnd = m_hWnd;
  handleTable().erase(m_hWnd);
  m_hWnd = 0;
  std::weak_ptr<bool> alive = m_alive;
  GetEventLoop().Post([this, alive, hWnd] {
    if (auto a = alive.lock(); a && *a) AfterDestroy(hWnd);
  });
  return 0;
}

// The system's own reactions, for a window without a frame: closing
// destroys, caption presses move, edge presses resize, a caption double
// click toggles maximised, and the system commands do what they name.
LRESULT CWindowWnd::DefWindowProc(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (!m_host) return 0;
  const POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (uMsg) {
    case WM_CLOSE:
      DestroyWindow();
      return 0;
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_NCLBUTTONDOWN:
      if (wParam == HTCAPTION) {
        m_host->BeginMoveDrag(screen);
      } else if (wParam >= HTLEFT && wParam <= HTBOTTOMRIGHT) {
        m_host->BeginResizeDrag(static_cast<int>(wParam), screen);
      }
      return 0;
    case WM_NCLBUTTONDBLCLK:
      if (wParam == HTCAPTION) SendMessage(WM_SYSCOMMAND, IsMaximized() ? SC_RESTORE : SC_MAXIMIZE, 0);
      return 0;
    case WM_SYSCOMMAND:
      switch (wParam & 0xFFF0) {
        case SC_CLOSE:
          SendMessage(WM_CLOSE);
          break;
        case SC_MINIMIZE:
          m_host->Minimize();
          break;
        case SC_MAXIMIZE:
          m_host->Maximize();
          break;
        case SC_RESTORE:
          m_host->Restore();
          break;
        default:
          break;
      }
      return 0;
    case WM_NCACTIVATE:
      return 1;
    default:
      return 0;
  }
}

}  // namespace SkinUI

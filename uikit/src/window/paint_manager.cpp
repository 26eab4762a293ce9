#include "skinui/paint_manager.h"

#include <algorithm>
#include <cwchar>

#include "skinui/embedded_resource.h"
#include "skinui/image_string.h"
#include "skinui/skin_resources.h"
#include "skinui/text_convert.h"
#include "skinui/window_wnd.h"

namespace SkinUI {

PaintManager::PaintManager() = default;

PaintManager::~PaintManager() {
  // Children reap themselves from this manager while the tree is torn down;
  // the pointers must not be followed from here on.
  std::unique_ptr<CControlUI> root = std::move(m_root);
  root.reset();
}

void PaintManager::Init(CWindowWnd* window) {
  m_window = window;
}

HWND PaintManager::GetPaintWindow() const {
  return m_window != nullptr ? m_window->GetHWND() : 0;
}

bool PaintManager::AttachDialog(CControlUI* root) {
  if (root == nullptr) return false;
  m_focus = m_click = m_hover = nullptr;
  m_root.reset(root);
  m_root->SetManager(this, nullptr);
  m_needLayout = true;
  m_firstLayout = true;
  Invalidate(clientRect());
  return true;
}

void PaintManager::ReapObjects(CControlUI* control) {
  if (m_focus == control) m_focus = nullptr;
  if (m_click == control) m_click = nullptr;
  if (m_hover == control) m_hover = nullptr;
}

CControlUI* PaintManager::FindControl(POINT pt) {
  if (m_needLayout) layout();
  return m_root ? m_root->FindControlAt(pt) : nullptr;
}

CControlUI* PaintManager::FindControl(const std::wstring& name) const {
  return m_root ? m_root->FindControlByName(name) : nullptr;
}

void PaintManager::SetFocus(CControlUI* control) {
  if (control == m_focus) return;
  if (m_focus != nullptr) {
    CControlUI* old = m_focus;
    m_focus = nullptr;
    sendEvent(old, UIEVENT_KILLFOCUS, {}, 0, 0);
    SendNotify(old, L"killfocus");
  }
  if (control != nullptr && control->GetManager() == this && control->IsVisible() && control->IsEnabled()) {
    m_focus = control;
    sendEvent(control, UIEVENT_SETFOCUS, {}, 0, 0);
    SendNotify(control, L"setfocus");
  }
}

void PaintManager::SetCapture() {
  m_captured = true;
  if (m_window != nullptr && m_window->GetHost() != nullptr) m_window->GetHost()->SetCapture(true);
}

void PaintManager::ReleaseCapture() {
  m_captured = false;
  if (m_window != nullptr && m_window->GetHost() != nullptr) m_window->GetHost()->SetCapture(false);
}

void PaintManager::SetCursor(CursorKind kind) {
  if (m_cursor == kind) return;
  m_cursor = kind;
  if (m_window != nullptr && m_window->GetHost() != nullptr) m_window->GetHost()->SetCursor(kind);
}

void PaintManager::SetInitSize(int cx, int cy) {
  m_initSize = {cx, cy};
  if (m_window != nullptr && m_window->GetHWND() != 0) m_window->ResizeClient(cx, cy);
}

void PaintManager::SetWindowAttribute(const wchar_t* name, const wchar_t* value) {
  const std::wstring n(name);
  SIZE sz{};
  RECT rc{};
  if (n == L"size" && ParseSize(value, &sz)) {
    SetInitSize(sz.cx, sz.cy);
  } else if (n == L"sizebox" && ParseRect(value, &rc)) {
    SetSizeBox(rc);
  } else if (n == L"caption" && ParseRect(value, &rc)) {
    SetCaptionRect(rc);
  } else if (n == L"roundcorner" && ParseSize(value, &sz)) {
    SetRoundCorner(sz.cx, sz.cy);
  } else if (n == L"mininfo" && ParseSize(value, &sz)) {
    SetMinInfo(sz.cx, sz.cy);
  } else if (n == L"maxinfo" && ParseSize(value, &sz)) {
    SetMaxInfo(sz.cx, sz.cy);
  } else if (n == L"defaultfontcolor") {
    m_defaultFontColor = ParseColor(value);
  } else if (n == L"disabledfontcolor") {
    m_defaultDisabledColor = ParseColor(value);
  }
}

int PaintManager::AddFont(const std::wstring& face, int size, bool bold, bool underline, bool italic) {
  m_fonts.push_back(CreateSkinFont(face, size, bold, underline, italic));
  return static_cast<int>(m_fonts.size()) - 1;
}

void PaintManager::SetDefaultFont(const std::wstring& face, int size, bool bold, bool underline,
                                  bool italic) {
  m_defaultFont = CreateSkinFont(face, size, bold, underline, italic);
}

const TFontInfo* PaintManager::GetDefaultFontInfo() {
  if (!m_defaultFont) m_defaultFont = CreateSkinFont(L"", kDefaultFontPixels, false, false, false);
  return m_defaultFont.get();
}

const TFontInfo* PaintManager::GetFont(int index) {
  if (index < 0 || index >= static_cast<int>(m_fonts.size())) return GetDefaultFontInfo();
  return m_fonts[static_cast<std::size_t>(index)].get();
}

namespace {

bool loadImageBytes(const std::wstring& name, const std::wstring& type, std::vector<unsigned char>* bytes) {
  if (type.empty()) return ReadSkinResourceBytes(name, bytes);
  // A typed image is a resource linked into the program, named by its id.
  wchar_t* end = nullptr;
  const long id = std::wcstol(name.c_str(), &end, 10);
  if (end == name.c_str() || *end != L'\0') return false;
  const EmbeddedResource* res = FindEmbeddedResource(WideToUtf8(type).c_str(), static_cast<int>(id));
  if (res == nullptr || res->size == 0) return false;
  bytes->assign(res->data, res->data + res->size);
  return true;
}

}  // namespace

const TImageInfo* PaintManager::GetImageEx(const std::wstring& name, const std::wstring& type,
                                           std::uint32_t mask) {
  if (name.empty()) return nullptr;
  wchar_t suffix[32];
  std::swprintf(suffix, 32, L"|%08x", mask);
  const std::wstring key = name + L"|" + type + suffix;
  auto it = m_images.find(key);
  if (it != m_images.end()) return it->second.get();
  std::vector<unsigned char> bytes;
  if (!loadImageBytes(name, type, &bytes)) return nullptr;
  std::unique_ptr<TImageInfo> info = DecodeImage(bytes.data(), bytes.size(), mask);
  if (!info) return nullptr;
  return (m_images[key] = std::move(info)).get();
}

void PaintManager::RemoveImage(const std::wstring& name) {
  for (auto it = m_images.begin(); it != m_images.end();) {
    it = it->first.compare(0, name.size() + 1, name + L"|") == 0 ? m_images.erase(it) : std::next(it);
  }
}

bool PaintManager::AddNotifier(INotifyUI* notifier) {
  if (notifier == nullptr || std::find(m_notifiers.begin(), m_notifiers.end(), notifier) != m_notifiers.end())
    return false;
  m_notifiers.push_back(notifier);
  return true;
}

bool PaintManager::RemoveNotifier(INotifyUI* notifier) {
  auto it = std::find(m_notifiers.begin(), m_notifiers.end(), notifier);
  if (it == m_notifiers.end()) return false;
  m_notifiers.erase(it);
  return true;
}

bool PaintManager::AddPreMessageFilter(IMessageFilterUI* filter) {
  if (filter == nullptr || std::find(m_preFilters.begin(), m_preFilters.end(), filter) != m_preFilters.end())
    return false;
  m_preFilters.push_back(filter);
  return true;
}

bool PaintManager::RemovePreMessageFilter(IMessageFilterUI* filter) {
  auto it = std::find(m_preFilters.begin(), m_preFilters.end(), filter);
  if (it == m_preFilters.end()) return false;
  m_preFilters.erase(it);
  return true;
}

void PaintManager::SendNotify(CControlUI* control, const std::wstring& type, WPARAM wParam, LPARAM lParam) {
  TNotifyUI msg;
  msg.sType = type;
  msg.pSender = control;
  msg.wParam = wParam;
  msg.lParam = lParam;
  SendNotify(msg);
}

void PaintManager::SendNotify(TNotifyUI& msg) {
  msg.dwTimestamp = GetTickCount();
  if (m_window != nullptr && m_window->GetHost() != nullptr) {
    // The mouse point in client coordinates, as the handlers expect.
    msg.ptMouse = m_lastMouse;
  }
  // A receiver may remove itself (or others) while being notified.
  const std::vector<INotifyUI*> receivers = m_notifiers;
  for (INotifyUI* receiver : receivers) {
    if (std::find(m_notifiers.begin(), m_notifiers.end(), receiver) != m_notifiers.end())
      receiver->Notify(msg);
  }
}

bool PaintManager::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  const std::vector<IMessageFilterUI*> filters = m_preFilters;
  for (IMessageFilterUI* filter : filters) {
    bool handled = false;
    LRESULT r = filter->MessageHandler(uMsg, wParam, lParam, handled);
    if (handled) {
      lRes = r;
      return true;
    }
  }
  return false;
}

RECT PaintManager::clientRect() const {
  return m_window != nullptr ? m_window->GetClientRect() : RECT{};
}

void PaintManager::Invalidate(const RECT& rc) {
  if (m_window != nullptr && m_window->GetHost() != nullptr) m_window->GetHost()->Invalidate(rc);
}

void PaintManager::layout() {
  m_needLayout = false;
  if (m_root) m_root->SetPos(clientRect());
}

void PaintManager::Render(cairo_t* target) {
  const RECT client = clientRect();
  if (client.IsEmpty()) return;
  if (m_needLayout) layout();
  if (m_firstLayout && m_root) {
    m_firstLayout = false;
    SendNotify(m_root.get(), L"windowinit");
    if (m_needLayout) layout();
  }
  if (!m_offscreen || cairo_image_surface_get_width(m_offscreen.get()) != client.Width() ||
      cairo_image_surface_get_height(m_offscreen.get()) != client.Height()) {
    m_offscreen.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, client.Width(), client.Height()));
  }
  {
    CairoPtr cr(cairo_create(m_offscreen.get()));
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_CLEAR);
    cairo_paint(cr.get());
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_OVER);
    if (m_roundCorner.cx > 0 || m_roundCorner.cy > 0) {
      // Corners outside the rounded outline stay transparent.
      const double rx = m_roundCorner.cx / 2.0;
      const double ry = m_roundCorner.cy / 2.0;
      const double w = client.Width();
      const double h = client.Height();
      cairo_new_path(cr.get());
      cairo_save(cr.get());
      cairo_move_to(cr.get(), rx, 0);
      cairo_line_to(cr.get(), w - rx, 0);
      cairo_curve_to(cr.get(), w, 0, w, 0, w, ry);
      cairo_line_to(cr.get(), w, h - ry);
      cairo_curve_to(cr.get(), w, h, w, h, w - rx, h);
      cairo_line_to(cr.get(), rx, h);
      cairo_curve_to(cr.get(), 0, h, 0, h, 0, h - ry);
      cairo_line_to(cr.get(), 0, ry);
      cairo_curve_to(cr.get(), 0, 0, 0, 0, rx, 0);
      cairo_close_path(cr.get());
      cairo_restore(cr.get());
      cairo_clip(cr.get());
    }
    if (m_root) m_root->DoPaint(cr.get(), client);
  }
  cairo_surface_flush(m_offscreen.get());
  cairo_save(target);
  cairo_set_operator(target, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(target, m_offscreen.get(), 0, 0);
  cairo_paint(target);
  cairo_restore(target);
}

void PaintManager::sendEvent(CControlUI* to, int type, POINT pt, WPARAM wParam, LPARAM lParam) {
  if (to == nullptr) return;
  TEventUI event;
  event.Type = type;
  event.pSender = to;
  event.dwTimestamp = GetTickCount();
  event.ptMouse = pt;
  event.wParam = wParam;
  event.lParam = lParam;
  if (type == UIEVENT_KEYDOWN || type == UIEVENT_CHAR) event.chKey = static_cast<wchar_t>(wParam);
  to->DoEvent(event);
}

void PaintManager::onMouseMove(POINT pt, WPARAM keys, LPARAM lParam) {
  m_lastMouse = pt;
  CControlUI* now = FindControl(pt);
  if (now != m_hover) {
    CControlUI* old = m_hover;
    m_hover = now;
    sendEvent(old, UIEVENT_MOUSELEAVE, pt, keys, lParam);
    if (m_hover == now) sendEvent(now, UIEVENT_MOUSEENTER, pt, keys, lParam);
  }
  if (m_captured && m_click != nullptr) {
    sendEvent(m_click, UIEVENT_MOUSEMOVE, pt, keys, lParam);
  } else if (m_hover != nullptr) {
    sendEvent(m_hover, UIEVENT_MOUSEMOVE, pt, keys, lParam);
  }
  if (m_hover != nullptr && (m_hover->GetControlFlags() & UIFLAG_SETCURSOR)) {
    sendEvent(m_hover, UIEVENT_SETCURSOR, pt, keys, lParam);
  } else {
    SetCursor(CursorKind::Arrow);
  }
}

void PaintManager::onMouseLeave() {
  if (m_captured) return;
  CControlUI* old = m_hover;
  m_hover = nullptr;
  sendEvent(old, UIEVENT_MOUSELEAVE, m_lastMouse, 0, 0);
}

void PaintManager::onButtonDown(UINT uMsg, POINT pt, WPARAM keys, LPARAM lParam) {
  m_lastMouse = pt;
  CControlUI* control = FindControl(pt);
  if (control == nullptr) return;
  m_click = control;
  SetFocus(control);
  // The focus notification may have replaced the tree or hidden the target.
  if (m_click != control) return;
  SetCapture();
  sendEvent(control, uMsg == WM_LBUTTONDBLCLK ? UIEVENT_DBLCLICK : UIEVENT_BUTTONDOWN, pt, keys, lParam);
}

void PaintManager::onButtonUp(POINT pt, WPARAM keys, LPARAM lParam) {
  m_lastMouse = pt;
  ReleaseCapture();
  CControlUI* target = m_click;
  m_click = nullptr;
  sendEvent(target, UIEVENT_BUTTONUP, pt, keys, lParam);
}

void PaintManager::onKey(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  sendEvent(m_focus, uMsg == WM_CHAR ? UIEVENT_CHAR : UIEVENT_KEYDOWN, m_lastMouse, wParam, lParam);
}

bool PaintManager::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
  if (m_window == nullptr) return false;
  lRes = 0;
  const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  switch (uMsg) {
    case WM_PAINT:
      // This host hands the paint target over in wParam.
      if (wParam != 0) Render(reinterpret_cast<cairo_t*>(wParam));
      return true;
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) {
        layout();
        Invalidate(clientRect());
      }
      return false;
    case WM_MOUSEMOVE:
      onMouseMove(pt, wParam, lParam);
      return true;
    case WM_MOUSELEAVE:
      onMouseLeave();
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      onButtonDown(uMsg, pt, wParam, lParam);
      return true;
    case WM_LBUTTONUP:
      onButtonUp(pt, wParam, lParam);
      return true;
    case WM_KEYDOWN:
    case WM_CHAR:
      if (m_focus == nullptr) return false;
      onKey(uMsg, wParam, lParam);
      return true;
    default:
      return false;
  }
}

int PaintManager::MessageLoop() {
  return GetEventLoop().Run();
}

namespace {
void*& instanceSlot() {
  static void* instance = nullptr;
  return instance;
}
}  // namespace

void PaintManager::SetInstance(void* instance) {
  instanceSlot() = instance;
}
void* PaintManager::GetInstance() {
  return instanceSlot();
}
void PaintManager::SetResourcePath(const std::wstring& path) {
  ResourceStore::SetResourcePath(path);
}
const std::wstring& PaintManager::GetResourcePath() {
  return ResourceStore::GetResourcePath();
}
bool PaintManager::SetResourceZip(const unsigned char* data, std::size_t size) {
  return ResourceStore::SetResourceZipMemory(data, size);
}
std::wstring PaintManager::GetInstancePath() {
  return GetModuleFolder();
}

}  // namespace SkinUI

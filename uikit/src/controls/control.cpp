#include "skinui/control.h"

#include <cwchar>

#include "skinui/image_string.h"
#include "skinui/paint_manager.h"
#include "skinui/render_text.h"

namespace SkinUI {

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
  if (m_manager != nullptr) m_manager->ReapObjects(this);
}

void* CControlUI::GetInterface(const std::wstring& name) {
  if (name == L"Control") return this;
  return nullptr;
}

void CControlUI::SetText(const std::wstring& text) {
  if (m_text == text) return;
  m_text = text;
  Invalidate();
}

void CControlUI::SetManager(PaintManager* manager, CControlUI* parent) {
  m_manager = manager;
  m_parent = parent;
}

void CControlUI::SetPos(const RECT& rc) {
  RECT r = rc;
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  m_rcItem = r;
  Invalidate();
}

void CControlUI::SetFixedWidth(int cx) {
  m_fixedWidth = cx < 0 ? 0 : cx;
  if (m_manager != nullptr) m_manager->NeedUpdate();
}

void CControlUI::SetFixedHeight(int cy) {
  m_fixedHeight = cy < 0 ? 0 : cy;
  if (m_manager != nullptr) m_manager->NeedUpdate();
}

void CControlUI::SetVisible(bool visible) {
  if (m_visible == visible) return;
  m_visible = visible;
  if (!visible && m_focused && m_manager != nullptr) m_manager->SetFocus(nullptr);
  if (m_manager != nullptr) m_manager->NeedUpdate();
  Invalidate();
}

void CControlUI::SetEnabled(bool enabled) {
  if (m_enabled == enabled) return;
  m_enabled = enabled;
  Invalidate();
}

void CControlUI::SetFocus() {
  if (m_manager != nullptr) m_manager->SetFocus(this);
}

void CControlUI::SetBkColor(std::uint32_t argb) {
  m_bkColor = argb;
  Invalidate();
}

void CControlUI::SetBkImage(const std::wstring& image) {
  m_bkImage = image;
  Invalidate();
}

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  const std::wstring n(name);
  if (n == L"name") {
    m_name = value;
  } else if (n == L"text") {
    SetText(value);
  } else if (n == L"float") {
    m_float = std::wcscmp(value, L"true") == 0;
  } else if (n == L"pos") {
    RECT rc{};
    if (ParseRect(value, &rc)) {
      // A negative left or top anchors by the right or bottom value instead.
      m_floatOffset = {rc.left >= 0 ? rc.left : rc.right, rc.top >= 0 ? rc.top : rc.bottom};
      SetFixedWidth(rc.right - rc.left);
      SetFixedHeight(rc.bottom - rc.top);
    }
  } else if (n == L"width") {
    SetFixedWidth(static_cast<int>(std::wcstol(value, nullptr, 10)));
  } else if (n == L"height") {
    SetFixedHeight(static_cast<int>(std::wcstol(value, nullptr, 10)));
  } else if (n == L"bkcolor") {
    SetBkColor(ParseColor(value));
  } else if (n == L"bkimage") {
    SetBkImage(value);
  } else if (n == L"visible") {
    SetVisible(std::wcscmp(value, L"true") == 0);
  } else if (n == L"enabled") {
    SetEnabled(std::wcscmp(value, L"true") == 0);
  }
}

CControlUI* CControlUI::FindControlAt(POINT pt) {
  if (!m_visible || !m_rcItem.Contains(pt)) return nullptr;
  return this;
}

CControlUI* CControlUI::FindControlByName(const std::wstring& name) {
  return m_name == name ? this : nullptr;
}

void CControlUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_SETFOCUS) {
    m_focused = true;
    Invalidate();
  } else if (event.Type == UIEVENT_KILLFOCUS) {
    m_focused = false;
    Invalidate();
  } else if (event.Type == UIEVENT_SETCURSOR && m_manager != nullptr) {
    m_manager->SetCursor(CursorKind::Arrow);
  }
}

bool CControlUI::Activate() {
  return m_visible && m_enabled;
}

void CControlUI::Invalidate() {
  if (m_manager != nullptr && m_visible) m_manager->Invalidate(m_rcItem);
}

void CControlUI::DoPaint(cairo_t* cr, const RECT& rcPaint) {
  if (!IntersectRect(&m_rcPaint, rcPaint, m_rcItem)) return;
  PaintBkColor(cr);
  PaintBkImage(cr);
  PaintStatusImage(cr);
  PaintText(cr);
}

void CControlUI::PaintBkColor(cairo_t* cr) {
  if (m_bkColor == 0) return;
  cairo_save(cr);
  SetSourceArgb(cr, m_bkColor);
  cairo_rectangle(cr, m_rcPaint.left, m_rcPaint.top, m_rcPaint.Width(), m_rcPaint.Height());
  cairo_fill(cr);
  cairo_restore(cr);
}

void CControlUI::PaintBkImage(cairo_t* cr) {
  if (m_bkImage.empty()) return;
  if (!DrawImage(cr, m_bkImage)) m_bkImage.clear();
}

bool CControlUI::DrawImage(cairo_t* cr, const std::wstring& image, const std::wstring& modify) {
  if (m_manager == nullptr || image.empty()) return false;
  ImageDrawSpec spec;
  ParseImageString(image, &spec);
  ParseImageString(modify, &spec);
  const TImageInfo* info = m_manager->GetImageEx(spec.file, spec.resType, spec.mask);
  if (info == nullptr) return false;
  RECT dest = m_rcItem;
  if (spec.hasDest) {
    dest = {m_rcItem.left + spec.dest.left, m_rcItem.top + spec.dest.top, m_rcItem.left + spec.dest.right,
            m_rcItem.top + spec.dest.bottom};
    // The destination is relative to the control and never leaves it.
    if (!IntersectRect(&dest, dest, m_rcItem)) return true;
  }
  const RECT source = spec.hasSource ? spec.source : RECT{0, 0, info->width, info->height};
  RECT clip{};
  if (!IntersectRect(&clip, m_rcPaint, dest)) return true;
  DrawImageNineGrid(cr, *info, dest, clip, source, spec.corner, spec.fade, spec.hole, spec.xtiled,
                    spec.ytiled);
  return true;
}

}  // namespace SkinUI

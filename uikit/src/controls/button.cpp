#include "skinui/button.h"

#include "skinui/paint_manager.h"

namespace SkinUI {

void* CButtonUI::GetInterface(const std::wstring& name) {
  if (name == L"Button") return this;
  return CLabelUI::GetInterface(name);
}

UINT CButtonUI::GetControlFlags() const {
  return (m_enabled ? static_cast<UINT>(UIFLAG_SETCURSOR) : 0u) | UIFLAG_TABSTOP;
}

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  const std::wstring n(name);
  if (n == L"normalimage") {
    SetNormalImage(value);
  } else if (n == L"hotimage") {
    SetHotImage(value);
  } else if (n == L"pushedimage") {
    SetPushedImage(value);
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

void CButtonUI::SetNormalImage(const std::wstring& s) {
  m_normalImage = s;
  Invalidate();
}
void CButtonUI::SetHotImage(const std::wstring& s) {
  m_hotImage = s;
  Invalidate();
}
void CButtonUI::SetPushedImage(const std::wstring& s) {
  m_pushedImage = s;
  Invalidate();
}

void CButtonUI::SetEnabled(bool enabled) {
  CLabelUI::SetEnabled(enabled);
  if (!enabled) m_buttonState = 0;
}

bool CButtonUI::Activate() {
  if (!CLabelUI::Activate()) return false;
  if (m_manager != nullptr) m_manager->SendNotify(this, L"click");
  return true;
}

// Press captures; while captured the pushed look follows whether the mouse
// is inside; only a release inside activates.
void CButtonUI::DoEvent(TEventUI& event) {
  if (!m_enabled && event.Type != UIEVENT_SETFOCUS && event.Type != UIEVENT_KILLFOCUS) {
    CLabelUI::DoEvent(event);
    return;
  }
  switch (event.Type) {
    case UIEVENT_KEYDOWN:
      if (event.chKey == VK_SPACE || event.chKey == VK_RETURN) Activate();
      return;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
      if (m_rcItem.Contains(event.ptMouse)) {
        m_buttonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
        Invalidate();
      }
      return;
    case UIEVENT_MOUSEMOVE:
      if (m_buttonState & UISTATE_CAPTURED) {
        const bool inside = m_rcItem.Contains(event.ptMouse);
        const UINT before = m_buttonState;
        m_buttonState = inside ? (m_buttonState | UISTATE_PUSHED) : (m_buttonState & ~UISTATE_PUSHED);
        if (before != m_buttonState) Invalidate();
      }
      return;
    case UIEVENT_BUTTONUP:
      if (m_buttonState & UISTATE_CAPTURED) {
        const bool inside = m_rcItem.Contains(event.ptMouse);
        m_buttonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
        Invalidate();
        // Activation may close and delete the window; nothing follows it.
        if (inside) Activate();
      }
      return;
    case UIEVENT_MOUSEENTER:
      m_buttonState |= UISTATE_HOT;
      Invalidate();
      return;
    case UIEVENT_MOUSELEAVE:
      m_buttonState &= ~UISTATE_HOT;
      Invalidate();
      return;
    case UIEVENT_SETCURSOR:
      if (m_manager != nullptr) m_manager->SetCursor(CursorKind::Hand);
      return;
    default:
      CLabelUI::DoEvent(event);
  }
}

void CButtonUI::PaintStatusImage(cairo_t* cr) {
  if ((m_buttonState & UISTATE_PUSHED) && !m_pushedImage.empty()) {
    if (DrawImage(cr, m_pushedImage)) return;
    m_pushedImage.clear();
  }
  if ((m_buttonState & UISTATE_HOT) && !m_hotImage.empty()) {
    if (DrawImage(cr, m_hotImage)) return;
    m_hotImage.clear();
  }
  if (!m_normalImage.empty() && !DrawImage(cr, m_normalImage)) m_normalImage.clear();
}

}  // namespace SkinUI

#include "skinui/label.h"

#include <cwchar>

#include "skinui/image_string.h"
#include "skinui/paint_manager.h"

namespace SkinUI {

void* CLabelUI::GetInterface(const std::wstring& name) {
  if (name == L"Label") return this;
  return CControlUI::GetInterface(name);
}

namespace {

// "align" words replace only the axis they name, so "center" keeps the
// vertical default.
UINT applyAlign(UINT style, const wchar_t* value) {
  const std::wstring v(value);
  auto has = [&](const wchar_t* word) { return v.find(word) != std::wstring::npos; };
  if (has(L"left")) style &= ~(DT_CENTER | DT_RIGHT);
  if (has(L"center")) style = (style & ~(DT_RIGHT)) | DT_CENTER;
  if (has(L"right")) style = (style & ~(DT_CENTER)) | DT_RIGHT;
  if (has(L"top")) style &= ~(DT_VCENTER | DT_BOTTOM);
  if (has(L"vcenter")) style = (style & ~DT_BOTTOM) | DT_VCENTER;
  if (has(L"bottom")) style = (style & ~DT_VCENTER) | DT_BOTTOM;
  return style;
}

}  // namespace

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  const std::wstring n(name);
  if (n == L"textcolor") {
    m_textColor = ParseColor(value);
  } else if (n == L"disabledtextcolor") {
    m_disabledTextColor = ParseColor(value);
  } else if (n == L"font") {
    m_font = static_cast<int>(std::wcstol(value, nullptr, 10));
  } else if (n == L"align") {
    m_textStyle = applyAlign(m_textStyle, value);
  } else if (n == L"textpadding") {
    ParseRect(value, &m_textPadding);
  } else if (n == L"showhtml") {
    m_showHtml = std::wcscmp(value, L"true") == 0;
  } else {
    CControlUI::SetAttribute(name, value);
    return;
  }
  Invalidate();
}

RECT CLabelUI::TextRect() const {
  return {m_rcItem.left + m_textPadding.left, m_rcItem.top + m_textPadding.top,
          m_rcItem.right - m_textPadding.right, m_rcItem.bottom - m_textPadding.bottom};
}

void CLabelUI::PaintText(cairo_t* cr) {
  if (m_text.empty() || m_manager == nullptr) {
    m_links.clear();
    return;
  }
  std::uint32_t color = m_enabled ? m_textColor : m_disabledTextColor;
  if (color == 0) color = m_enabled ? m_manager->GetDefaultFontColor() : m_manager->GetDefaultDisabledColor();
  DrawSkinText(cr, TextRect(), m_text, color, m_manager->GetFont(m_font), m_textStyle, m_showHtml, &m_links);
}

void* CTextUI::GetInterface(const std::wstring& name) {
  if (name == L"Text") return this;
  return CLabelUI::GetInterface(name);
}

UINT CTextUI::GetControlFlags() const {
  return (m_enabled && !m_links.empty()) ? static_cast<UINT>(UIFLAG_SETCURSOR) : 0u;
}

void CTextUI::DoEvent(TEventUI& event) {
  if (event.Type == UIEVENT_SETCURSOR && m_manager != nullptr) {
    for (const TextLink& link : m_links) {
      if (link.rect.Contains(event.ptMouse)) {
        m_manager->SetCursor(CursorKind::Hand);
        return;
      }
    }
  }
  if (event.Type == UIEVENT_BUTTONUP && m_enabled && m_manager != nullptr) {
    for (std::size_t i = 0; i < m_links.size(); ++i) {
      if (m_links[i].rect.Contains(event.ptMouse)) {
        m_manager->SendNotify(this, L"link", static_cast<WPARAM>(i));
        return;
      }
    }
  }
  CLabelUI::DoEvent(event);
}

}  // namespace SkinUI

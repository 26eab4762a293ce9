#include "skinui/container.h"

#include <algorithm>
#include <cwchar>

#include "skinui/image_string.h"
#include "skinui/paint_manager.h"

namespace SkinUI {

void* CContainerUI::GetInterface(const std::wstring& name) {
  if (name == L"IContainer") return static_cast<IContainerUI*>(this);
  if (name == L"Container") return this;
  return CControlUI::GetInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  if (index < 0 || index >= GetCount()) return nullptr;
  return m_items[static_cast<std::size_t>(index)].get();
}

bool CContainerUI::Add(CControlUI* control) {
  if (control == nullptr) return false;
  m_items.emplace_back(control);
  if (m_manager != nullptr) {
    control->SetManager(m_manager, this);
    m_manager->NeedUpdate();
  }
  return true;
}

bool CContainerUI::Remove(CControlUI* control) {
  auto it = std::find_if(m_items.begin(), m_items.end(), [&](const auto& p) { return p.get() == control; });
  if (it == m_items.end()) return false;
  m_items.erase(it);
  if (m_manager != nullptr) m_manager->NeedUpdate();
  return true;
}

void CContainerUI::RemoveAll() {
  m_items.clear();
  if (m_manager != nullptr) m_manager->NeedUpdate();
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  const std::wstring n(name);
  if (n == L"inset") {
    ParseRect(value, &m_inset);
  } else if (n == L"childpadding") {
    m_childPadding = static_cast<int>(std::wcstol(value, nullptr, 10));
  } else {
    CControlUI::SetAttribute(name, value);
  }
}

void CContainerUI::SetManager(PaintManager* manager, CControlUI* parent) {
  CControlUI::SetManager(manager, parent);
  for (auto& item : m_items) item->SetManager(manager, this);
}

RECT CContainerUI::innerRect() const {
  return {m_rcItem.left + m_inset.left, m_rcItem.top + m_inset.top, m_rcItem.right - m_inset.right,
          m_rcItem.bottom - m_inset.bottom};
}

void CContainerUI::setFloatPos(CControlUI* child, const RECT& within) {
  const POINT off = child->GetFloatOffset();
  const int left = within.left + off.x;
  const int top = within.top + off.y;
  child->SetPos({left, top, left + child->GetFixedWidth(), top + child->GetFixedHeight()});
}

// A plain container gives every non-floating child its whole inner area.
void CContainerUI::SetPos(const RECT& rc) {
  CControlUI::SetPos(rc);
  const RECT inner = innerRect();
  for (auto& item : m_items) {
    if (!item->IsVisible()) continue;
    if (item->IsFloat()) {
      setFloatPos(item.get(), inner);
    } else {
      item->SetPos(inner);
    }
  }
}

void CContainerUI::SetVisible(bool visible) {
  CControlUI::SetVisible(visible);
  if (!visible && m_manager != nullptr) {
    CControlUI* focus = m_manager->GetFocus();
    for (CControlUI* c = focus; c != nullptr; c = c->GetParent()) {
      if (c == this) {
        m_manager->SetFocus(nullptr);
        break;
      }
    }
  }
}

// Later children paint over earlier ones, so the search runs backwards.
CControlUI* CContainerUI::FindControlAt(POINT pt) {
  if (!m_visible || !m_rcItem.Contains(pt)) return nullptr;
  for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
    if (CControlUI* hit = (*it)->FindControlAt(pt)) return hit;
  }
  return this;
}

CControlUI* CContainerUI::FindControlByName(const std::wstring& name) {
  if (m_name == name) return this;
  for (auto& item : m_items) {
    if (CControlUI* hit = item->FindControlByName(name)) return hit;
  }
  return nullptr;
}

void CContainerUI::DoPaint(cairo_t* cr, const RECT& rcPaint) {
  RECT clip{};
  if (!IntersectRect(&clip, rcPaint, m_rcItem)) return;
  CControlUI::DoPaint(cr, rcPaint);
  for (auto& item : m_items) {
    if (!item->IsVisible()) continue;
    item->DoPaint(cr, clip);
  }
}

void* CVerticalLayoutUI::GetInterface(const std::wstring& name) {
  if (name == L"VerticalLayout") return this;
  return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(const RECT& rc) {
  CControlUI::SetPos(rc);
  const RECT inner = innerRect();
  int fixedTotal = 0;
  int flexible = 0;
  int stacked = 0;
  for (auto& item : m_items) {
    if (!item->IsVisible() || item->IsFloat()) continue;
    ++stacked;
    if (item->GetFixedHeight() > 0) {
      fixedTotal += item->GetFixedHeight();
    } else {
      ++flexible;
    }
  }
  if (stacked > 1) fixedTotal += (stacked - 1) * m_childPadding;
  const int share = flexible > 0 ? std::max(0, inner.Height() - fixedTotal) / flexible : 0;
  int y = inner.top;
  for (auto& item : m_items) {
    if (!item->IsVisible()) continue;
    if (item->IsFloat()) {
      setFloatPos(item.get(), inner);
      continue;
    }
    const int h = item->GetFixedHeight() > 0 ? item->GetFixedHeight() : share;
    const int w = item->GetFixedWidth() > 0 ? std::min(item->GetFixedWidth(), inner.Width()) : inner.Width();
    item->SetPos({inner.left, y, inner.left + w, y + h});
    y += h + m_childPadding;
  }
}

}  // namespace SkinUI

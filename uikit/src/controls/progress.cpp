#include "skinui/progress.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace SkinUI {

void* CProgressUI::GetInterface(const std::wstring& name) {
  if (name == L"Progress") return this;
  return CLabelUI::GetInterface(name);
}

void CProgressUI::SetHorizontal(bool horizontal) {
  m_horizontal = horizontal;
  Invalidate();
}
void CProgressUI::SetMinValue(int min) {
  m_min = min;
  Invalidate();
}
void CProgressUI::SetMaxValue(int max) {
  m_max = max;
  Invalidate();
}
void CProgressUI::SetValue(int value) {
  m_value = value;
  Invalidate();
}
void CProgressUI::SetForeImage(const std::wstring& image) {
  m_foreImage = image;
  Invalidate();
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
  const std::wstring n(name);
  if (n == L"foreimage") {
    SetForeImage(value);
  } else if (n == L"hor") {
    SetHorizontal(std::wcscmp(value, L"true") == 0);
  } else if (n == L"min") {
    SetMinValue(static_cast<int>(std::wcstol(value, nullptr, 10)));
  } else if (n == L"max") {
    SetMaxValue(static_cast<int>(std::wcstol(value, nullptr, 10)));
  } else if (n == L"value") {
    SetValue(static_cast<int>(std::wcstol(value, nullptr, 10)));
  } else {
    CLabelUI::SetAttribute(name, value);
  }
}

// The range is normalised on every paint rather than on every set, so
// setting min and max in either order never rejects a value.
RECT CProgressUI::FillRect() const {
  const long long min = m_min;
  const long long max = m_max <= m_min ? min + 1 : m_max;
  const long long value = std::clamp<long long>(m_value, min, max);
  const long long width = m_rcItem.Width();
  const long long height = m_rcItem.Height();
  if (m_horizontal)
    return {0, 0, static_cast<int>((value - min) * width / (max - min)), static_cast<int>(height)};
  return {0, static_cast<int>((max - value) * height / (max - min)), static_cast<int>(width),
          static_cast<int>(height)};
}

void CProgressUI::PaintStatusImage(cairo_t* cr) {
  if (m_foreImage.empty()) return;
  const RECT fill = FillRect();
  if (fill.IsEmpty()) return;
  wchar_t modify[96];
  std::swprintf(modify, sizeof modify / sizeof modify[0], L"dest='%d,%d,%d,%d'", fill.left, fill.top,
                fill.right, fill.bottom);
  if (!DrawImage(cr, m_foreImage, modify)) m_foreImage.clear();
}

}  // namespace SkinUI

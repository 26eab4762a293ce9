#pragma once
// The label family: text with font, colours, padding and alignment.
// CTextUI adds links when its text is shown as simple markup.
#include <vector>

#include "skinui/control.h"
#include "skinui/render_text.h"

namespace SkinUI {

class CLabelUI : public CControlUI {
 public:
  std::wstring GetClass() const override { return L"LabelUI"; }
  void* GetInterface(const std::wstring& name) override;

  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintText(cairo_t* cr) override;

  std::uint32_t GetTextColor() const { return m_textColor; }
  void SetTextColor(std::uint32_t argb) { m_textColor = argb; }
  std::uint32_t GetDisabledTextColor() const { return m_disabledTextColor; }
  int GetFont() const { return m_font; }
  UINT GetTextStyle() const { return m_textStyle; }
  const RECT& GetTextPadding() const { return m_textPadding; }
  bool IsShowHtml() const { return m_showHtml; }
  RECT TextRect() const;

 protected:
  std::uint32_t m_textColor = 0;
  std::uint32_t m_disabledTextColor = 0;
  int m_font = -1;
  UINT m_textStyle = DT_VCENTER | DT_SINGLELINE;
  RECT m_textPadding{};
  bool m_showHtml = false;
  std::vector<TextLink> m_links;
};

class CTextUI : public CLabelUI {
 public:
  std::wstring GetClass() const override { return L"TextUI"; }
  void* GetInterface(const std::wstring& name) override;
  UINT GetControlFlags() const override;
  void DoEvent(TEventUI& event) override;
  const std::vector<TextLink>& GetLinks() const { return m_links; }
};

}  // namespace SkinUI

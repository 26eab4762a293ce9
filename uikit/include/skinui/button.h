#pragma once
// A push button: hot while the mouse is over it, pushed while pressed and
// captured, "click" when released inside or on space/return with focus.
#include "skinui/label.h"

namespace SkinUI {

class CButtonUI : public CLabelUI {
 public:
  std::wstring GetClass() const override { return L"ButtonUI"; }
  void* GetInterface(const std::wstring& name) override;
  UINT GetControlFlags() const override;

  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void DoEvent(TEventUI& event) override;
  bool Activate() override;
  void PaintStatusImage(cairo_t* cr) override;
  void SetEnabled(bool enabled) override;

  UINT GetButtonState() const { return m_buttonState; }
  const std::wstring& GetNormalImage() const { return m_normalImage; }
  const std::wstring& GetHotImage() const { return m_hotImage; }
  const std::wstring& GetPushedImage() const { return m_pushedImage; }
  void SetNormalImage(const std::wstring& s);
  void SetHotImage(const std::wstring& s);
  void SetPushedImage(const std::wstring& s);

 protected:
  UINT m_buttonState = 0;
  std::wstring m_normalImage;
  std::wstring m_hotImage;
  std::wstring m_pushedImage;
};

}  // namespace SkinUI

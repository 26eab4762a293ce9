#pragma once
// A progress bar: the fore image stretched over the filled part, from the
// left (horizontal) or from the bottom.
#include "skinui/label.h"

namespace SkinUI {

class CProgressUI : public CLabelUI {
 public:
  std::wstring GetClass() const override { return L"ProgressUI"; }
  void* GetInterface(const std::wstring& name) override;

  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void PaintStatusImage(cairo_t* cr) override;

  bool IsHorizontal() const { return m_horizontal; }
  void SetHorizontal(bool horizontal);
  int GetMinValue() const { return m_min; }
  void SetMinValue(int min);
  int GetMaxValue() const { return m_max; }
  void SetMaxValue(int max);
  int GetValue() const { return m_value; }
  void SetValue(int value);
  const std::wstring& GetForeImage() const { return m_foreImage; }
  void SetForeImage(const std::wstring& image);

  // The filled rectangle relative to the control, after normalising the
  // range: the part the fore image is stretched into.
  RECT FillRect() const;

 protected:
  bool m_horizontal = true;
  int m_min = 0;
  int m_max = 100;
  int m_value = 0;
  std::wstring m_foreImage;
};

}  // namespace SkinUI

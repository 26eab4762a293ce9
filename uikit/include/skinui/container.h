#pragma once
// Controls that hold children. A container owns its children; floating
// children are placed by their "pos" offset inside it, the rest by the
// container's layout rule.
#include <memory>
#include <vector>

#include "skinui/control.h"

namespace SkinUI {

class IContainerUI {
 public:
  virtual ~IContainerUI() = default;
  virtual CControlUI* GetItemAt(int index) const = 0;
  virtual int GetCount() const = 0;
  virtual bool Add(CControlUI* control) = 0;
  virtual bool Remove(CControlUI* control) = 0;
  virtual void RemoveAll() = 0;
};

class CContainerUI : public CControlUI, public IContainerUI {
 public:
  std::wstring GetClass() const override { return L"ContainerUI"; }
  void* GetInterface(const std::wstring& name) override;

  CControlUI* GetItemAt(int index) const override;
  int GetCount() const override { return static_cast<int>(m_items.size()); }
  // Takes ownership of `control`.
  bool Add(CControlUI* control) override;
  bool Remove(CControlUI* control) override;
  void RemoveAll() override;

  const RECT& GetInset() const { return m_inset; }
  void SetAttribute(const wchar_t* name, const wchar_t* value) override;
  void SetManager(PaintManager* manager, CControlUI* parent) override;
  void SetPos(const RECT& rc) override;
  void SetVisible(bool visible) override;
  CControlUI* FindControlAt(POINT pt) override;
  CControlUI* FindControlByName(const std::wstring& name) override;
  void DoPaint(cairo_t* cr, const RECT& rcPaint) override;

 protected:
  void setFloatPos(CControlUI* child, const RECT& within);
  RECT innerRect() const;

  std::vector<std::unique_ptr<CControlUI>> m_items;
  RECT m_inset{};
  int m_childPadding = 0;
};

// Stacks its non-floating children from top to bottom: fixed heights first,
// the rest share what is left evenly.
class CVerticalLayoutUI : public CContainerUI {
 public:
  std::wstring GetClass() const override { return L"VerticalLayoutUI"; }
  void* GetInterface(const std::wstring& name) override;
  void SetPos(const RECT& rc) override;
};

}  // namespace SkinUI

#pragma once
// The windowless control base: position, state, attributes from the skin,
// painting in fixed order (background colour, background image, state
// image, text, then children) and mouse/keyboard events from the manager.
#include <cairo.h>

#include <cstdint>
#include <string>

#include "skinui/notify.h"
#include "skinui/win_types.h"

namespace SkinUI {

class PaintManager;

enum EventType {
  UIEVENT_MOUSEMOVE = 1,
  UIEVENT_MOUSELEAVE,
  UIEVENT_MOUSEENTER,
  UIEVENT_BUTTONDOWN,
  UIEVENT_BUTTONUP,
  UIEVENT_DBLCLICK,
  UIEVENT_KEYDOWN,
  UIEVENT_CHAR,
  UIEVENT_SETFOCUS,
  UIEVENT_KILLFOCUS,
  UIEVENT_SETCURSOR,
};

struct TEventUI {
  int Type = 0;
  CControlUI* pSender = nullptr;
  DWORD dwTimestamp = 0;
  POINT ptMouse{};
  wchar_t chKey = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
};

enum ControlFlags : UINT {
  UIFLAG_TABSTOP = 0x01,
  UIFLAG_SETCURSOR = 0x02,
};

// Control states kept as bits, as several combine (hot and pushed).
enum ControlState : UINT {
  UISTATE_FOCUSED = 0x01,
  UISTATE_HOT = 0x04,
  UISTATE_PUSHED = 0x08,
  UISTATE_CAPTURED = 0x40,
};

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  virtual std::wstring GetClass() const { return L"ControlUI"; }
  virtual void* GetInterface(const std::wstring& name);
  virtual UINT GetControlFlags() const { return 0; }

  const std::wstring& GetName() const { return m_name; }
  void SetName(const std::wstring& name) { m_name = name; }
  const std::wstring& GetText() const { return m_text; }
  virtual void SetText(const std::wstring& text);

  virtual void SetManager(PaintManager* manager, CControlUI* parent);
  PaintManager* GetManager() const { return m_manager; }
  CControlUI* GetParent() const { return m_parent; }

  const RECT& GetPos() const { return m_rcItem; }
  virtual void SetPos(const RECT& rc);
  int GetFixedWidth() const { return m_fixedWidth; }
  int GetFixedHeight() const { return m_fixedHeight; }
  void SetFixedWidth(int cx);
  void SetFixedHeight(int cy);
  bool IsFloat() const { return m_float; }
  void SetFloat(bool f) { m_float = f; }
  POINT GetFloatOffset() const { return m_floatOffset; }

  bool IsVisible() const { return m_visible; }
  virtual void SetVisible(bool visible);
  bool IsEnabled() const { return m_enabled; }
  virtual void SetEnabled(bool enabled);
  bool IsFocused() const { return m_focused; }
  void SetFocused(bool f) { m_focused = f; }
  void SetFocus();

  std::uint32_t GetBkColor() const { return m_bkColor; }
  void SetBkColor(std::uint32_t argb);
  const std::wstring& GetBkImage() const { return m_bkImage; }
  void SetBkImage(const std::wstring& image);

  virtual void SetAttribute(const wchar_t* name, const wchar_t* value);

  // The deepest visible control under `pt`, or null.
  virtual CControlUI* FindControlAt(POINT pt);
  virtual CControlUI* FindControlByName(const std::wstring& name);

  virtual void DoEvent(TEventUI& event);
  virtual bool Activate();
  void Invalidate();

  virtual void DoPaint(cairo_t* cr, const RECT& rcPaint);
  virtual void PaintBkColor(cairo_t* cr);
  virtual void PaintBkImage(cairo_t* cr);
  virtual void PaintStatusImage(cairo_t* cr) { (void)cr; }
  virtual void PaintText(cairo_t* cr) { (void)cr; }

  // Draws an image string over this control; false when the image could not
  // be found or decoded.
  bool DrawImage(cairo_t* cr, const std::wstring& image, const std::wstring& modify = L"");

 protected:
  PaintManager* m_manager = nullptr;
  CControlUI* m_parent = nullptr;
  std::wstring m_name;
  std::wstring m_text;
  RECT m_rcItem{};
  RECT m_rcPaint{};
  int m_fixedWidth = 0;
  int m_fixedHeight = 0;
  bool m_float = false;
  POINT m_floatOffset{};
  bool m_visible = true;
  bool m_enabled = true;
  bool m_focused = false;
  std::uint32_t m_bkColor = 0;
  std::wstring m_bkImage;
};

}  // namespace SkinUI

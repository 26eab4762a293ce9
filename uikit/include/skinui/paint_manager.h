#pragma once
// One per window: the control tree's root, focus, capture and hover state,
// the skin's window attributes, fonts and image cache, the notification
// receivers and pre-message filters, and double-buffered painting.
#include <cairo.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "skinui/control.h"
#include "skinui/font.h"
#include "skinui/image.h"
#include "skinui/notify.h"
#include "skinui/win_types.h"

namespace SkinUI {

class CWindowWnd;

enum class CursorKind { Arrow, Hand };

class PaintManager {
 public:
  PaintManager();
  ~PaintManager();
  PaintManager(const PaintManager&) = delete;
  PaintManager& operator=(const PaintManager&) = delete;

  void Init(CWindowWnd* window);
  CWindowWnd* GetWindow() const { return m_window; }
  HWND GetPaintWindow() const;

  // Takes ownership of the tree. Layout follows at the next size or paint,
  // and the first paint afterwards sends "windowinit".
  bool AttachDialog(CControlUI* root);
  CControlUI* GetRoot() const { return m_root.get(); }
  void ReapObjects(CControlUI* control);

  // Lays out first when the tree changed since the last layout.
  CControlUI* FindControl(POINT pt);
  CControlUI* FindControl(const std::wstring& name) const;
  CControlUI* GetFocus() const { return m_focus; }
  void SetFocus(CControlUI* control);
  CControlUI* GetClickTarget() const { return m_click; }
  CControlUI* GetHover() const { return m_hover; }
  void SetCapture();
  void ReleaseCapture();
  bool IsCaptured() const { return m_captured; }
  void SetCursor(CursorKind kind);

  // Window attributes from the skin.
  SIZE GetInitSize() const { return m_initSize; }
  void SetInitSize(int cx, int cy);
  const RECT& GetSizeBox() const { return m_sizeBox; }
  void SetSizeBox(const RECT& rc) { m_sizeBox = rc; }
  const RECT& GetCaptionRect() const { return m_caption; }
  void SetCaptionRect(const RECT& rc) { m_caption = rc; }
  SIZE GetRoundCorner() const { return m_roundCorner; }
  void SetRoundCorner(int cx, int cy) { m_roundCorner = {cx, cy}; }
  SIZE GetMinInfo() const { return m_minInfo; }
  void SetMinInfo(int cx, int cy) { m_minInfo = {cx, cy}; }
  SIZE GetMaxInfo() const { return m_maxInfo; }
  void SetMaxInfo(int cx, int cy) { m_maxInfo = {cx, cy}; }
  void SetWindowAttribute(const wchar_t* name, const wchar_t* value);

  std::uint32_t GetDefaultFontColor() const { return m_defaultFontColor; }
  std::uint32_t GetDefaultDisabledColor() const { return m_defaultDisabledColor; }

  // Fonts in skin order; an index outside the list gives the default font.
  int AddFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
  void SetDefaultFont(const std::wstring& face, int size, bool bold, bool underline, bool italic);
  const TFontInfo* GetFont(int index);
  const TFontInfo* GetDefaultFontInfo();
  int GetFontCount() const { return static_cast<int>(m_fonts.size()); }

  // Loads (once) and returns an image; null when it cannot be found.
  const TImageInfo* GetImageEx(const std::wstring& name, const std::wstring& type, std::uint32_t mask);
  void RemoveImage(const std::wstring& name);

  bool AddNotifier(INotifyUI* notifier);
  bool RemoveNotifier(INotifyUI* notifier);
  bool AddPreMessageFilter(IMessageFilterUI* filter);
  bool RemovePreMessageFilter(IMessageFilterUI* filter);
  void SendNotify(CControlUI* control, const std::wstring& type, WPARAM wParam = 0, LPARAM lParam = 0);
  void SendNotify(TNotifyUI& msg);

  bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
  // Painting, layout and mouse/keyboard routing; false when the message is
  // not one the manager deals with.
  bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

  void Invalidate(const RECT& rc);
  void NeedUpdate() { m_needLayout = true; }
  // Paints the whole client area into `target` through an off-screen
  // buffer of the client size.
  void Render(cairo_t* target);

  // Process-wide message loop: runs until WM_QUIT; returns its code.
  static int MessageLoop();

  // Process-wide resources (see ResourceStore). The instance is an opaque
  // value kept for callers that pass one around; nothing here reads it.
  static void SetInstance(void* instance);
  static void* GetInstance();
  static void SetResourcePath(const std::wstring& path);
  static const std::wstring& GetResourcePath();
  static bool SetResourceZip(const unsigned char* data, std::size_t size);
  static std::wstring GetInstancePath();

 private:
  void layout();
  void onMouseMove(POINT pt, WPARAM keys, LPARAM lParam);
  void onButtonDown(UINT uMsg, POINT pt, WPARAM keys, LPARAM lParam);
  void onButtonUp(POINT pt, WPARAM keys, LPARAM lParam);
  void onMouseLeave();
  void onKey(UINT uMsg, WPARAM wParam, LPARAM lParam);
  void sendEvent(CControlUI* to, int type, POINT pt, WPARAM wParam, LPARAM lParam);
  RECT clientRect() const;

  CWindowWnd* m_window = nullptr;
  std::unique_ptr<CControlUI> m_root;
  CControlUI* m_focus = nullptr;
  CControlUI* m_click = nullptr;
  CControlUI* m_hover = nullptr;
  bool m_captured = false;
  bool m_needLayout = false;
  bool m_firstLayout = true;
  CursorKind m_cursor = CursorKind::Arrow;
  POINT m_lastMouse{};
  CairoSurfacePtr m_offscreen;

  SIZE m_initSize{};
  RECT m_sizeBox{};
  RECT m_caption{};
  SIZE m_roundCorner{};
  SIZE m_minInfo{};
  SIZE m_maxInfo{};
  std::uint32_t m_defaultFontColor = 0xFF000000u;
  std::uint32_t m_defaultDisabledColor = 0xFFA7A6AAu;

  std::vector<std::unique_ptr<TFontInfo>> m_fonts;
  std::unique_ptr<TFontInfo> m_defaultFont;
  std::map<std::wstring, std::unique_ptr<TImageInfo>> m_images;
  std::vector<INotifyUI*> m_notifiers;
  std::vector<IMessageFilterUI*> m_preFilters;
};

}  // namespace SkinUI

#pragma once
// A soft shadow under a borderless window: a click-through helper window
// owned by the parent that follows it (move, size, minimise, show, hide) by
// watching the parent's messages through a subclass.
#include <cstdint>
#include <memory>
#include <vector>

#include "launcher/window/shadow_render.h"
#include "skinui/window_wnd.h"

class CDropShadow : public SkinUI::IWindowSubclass {
 public:
  CDropShadow();
  ~CDropShadow() override;
  CDropShadow(const CDropShadow&) = delete;
  CDropShadow& operator=(const CDropShadow&) = delete;

  // Once per process, before any window. False when called again, or when
  // the screen cannot make windows with per-pixel alpha: every shadow then
  // stays off. Where it can, a shadow shows while the screen composites.
  static bool RegisterShadowClass(void* instance);
  // Tests: forget the registration.
  static void ResetRegistration();

  void AttachShadow(SkinUI::CWindowWnd* parent);

  void SetSize(int size);
  void SetSharpness(unsigned sharpness);
  void SetDarkness(unsigned darkness);
  void SetPosition(int x, int y);
  void SetColor(std::uint32_t rgb);

  bool ShadowVisible() const { return (status_ & kShadowVisible) != 0; }
  // The shadow's helper window, or null before AttachShadow.
  SkinUI::CWindowWnd* ShadowWindow() const;

  SkinUI::LRESULT SubclassProc(SkinUI::HWND hWnd, SkinUI::UINT uMsg, SkinUI::WPARAM wParam,
                               SkinUI::LPARAM lParam, const Previous& previous) override;

 private:
  enum : std::uint8_t { kEnabled = 1, kShadowVisible = 2, kParentVisible = 4 };
  class Surface;

  void RefreshVisibility();
  void RedrawShadow();
  void ShowShadow();
  void HideShadow();
  void MoveToParent();

  std::unique_ptr<Surface> window_;
  SkinUI::CWindowWnd* parent_ = nullptr;
  std::uint8_t status_ = 0;
  ShadowParams params_;
  SkinUI::LPARAM lastSize_ = 0;
  bool updatePending_ = false;
};

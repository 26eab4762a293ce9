#include "launcher/window/drop_shadow.h"

#include <cairo.h>

#include <cstring>

#include "skinui/host.h"

using namespace SkinUI;

namespace {

// WS_POPUP | WS_BORDER | WS_SYSMENU: a popup that is nobody's child.
constexpr DWORD kPopupWindowStyle = WS_POPUP | 0x00800000 | WS_SYSMENU;

bool g_registered = false;
bool g_layeredAvailable = false;
void* g_instance = nullptr;

// Per-pixel alpha is what makes the shadow soft, and only a compositing
// manager shows it: without one an X screen shows the transparent pixels as
// solid black. So the shadow shows only while the screen composites, and
// follows every change of that.
bool ScreenComposites() {
  return GetEventLoop().IsCompositionEnabled();
}

}  // namespace

// The helper window: shows the last rendered bitmap as it is.
class CDropShadow::Surface : public CWindowWnd {
 public:
  ~Surface() override {
    if (image_ != nullptr) cairo_surface_destroy(image_);
  }
  const wchar_t* WindowClassName() const override { return L"HaldenShadowWnd"; }

  // Takes bottom-up premultiplied rows, as the renderer writes them.
  void SetImage(const std::vector<std::uint32_t>& bits, int width, int height) {
    if (image_ != nullptr) cairo_surface_destroy(image_);
    image_ = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    const int stride = cairo_image_surface_get_stride(image_);
    unsigned char* data = cairo_image_surface_get_data(image_);
    for (int y = 0; y < height; ++y)
      std::memcpy(data + static_cast<std::size_t>(y) * stride,
                  bits.data() + static_cast<std::size_t>(height - 1 - y) * width,
                  static_cast<std::size_t>(width) * 4);
    cairo_surface_mark_dirty(image_);
    if (GetHost() != nullptr) GetHost()->Invalidate({0, 0, width, height});
  }

  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    if (uMsg != WM_PAINT) return CWindowWnd::OnMessage(uMsg, wParam, lParam);
    auto* cr = reinterpret_cast<cairo_t*>(wParam);
    if (cr != nullptr) {
      cairo_save(cr);
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      if (image_ != nullptr) {
        cairo_set_source_surface(cr, image_, 0, 0);
      } else {
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
      }
      cairo_paint(cr);
      cairo_restore(cr);
    }
    return 0;
  }

 private:
  cairo_surface_t* image_ = nullptr;
};

CDropShadow::CDropShadow() = default;

CDropShadow::~CDropShadow() {
  // The parent owns this object, so it is still a window here even while it
  // is being torn down.
  if (parent_ != nullptr) parent_->RemoveSubclass(this);
}

bool CDropShadow::RegisterShadowClass(void* instance) {
  if (g_registered) return false;
  g_registered = true;
  g_layeredAvailable = GetEventLoop().LayeredWindowsSupported();
  if (!g_layeredAvailable) return false;
  g_instance = instance;
  return true;
}

void CDropShadow::ResetRegistration() {
  g_registered = false;
  g_layeredAvailable = false;
  g_instance = nullptr;
}

CWindowWnd* CDropShadow::ShadowWindow() const {
  return window_.get();
}

void CDropShadow::AttachShadow(CWindowWnd* parent) {
  if (!g_layeredAvailable || parent == nullptr || parent_ != nullptr) return;
  window_ = std::make_unique<Surface>();
  if (window_->Create(parent->GetHWND(), L"", kPopupWindowStyle, WS_EX_LAYERED | WS_EX_TRANSPARENT,
                      CW_USEDEFAULT, 0, 0, 0) == 0) {
    window_.reset();
    return;
  }
  parent_ = parent;
  status_ = kEnabled;
  RefreshVisibility();
  parent->AddSubclass(this);
}

void CDropShadow::SetSize(int size) {
  params_.size = static_cast<std::int8_t>(size);
  if (ShadowVisible()) RedrawShadow();
}
void CDropShadow::SetSharpness(unsigned sharpness) {
  params_.sharpness = static_cast<std::uint8_t>(sharpness);
  if (ShadowVisible()) RedrawShadow();
}
void CDropShadow::SetDarkness(unsigned darkness) {
  params_.darkness = darkness > 255 ? 255 : static_cast<int>(darkness);
  if (ShadowVisible()) RedrawShadow();
}
void CDropShadow::SetPosition(int x, int y) {
  params_.xOffset = static_cast<std::int8_t>(x);
  params_.yOffset = static_cast<std::int8_t>(y);
  if (ShadowVisible()) RedrawShadow();
}
void CDropShadow::SetColor(std::uint32_t rgb) {
  params_.colour = rgb & 0xFFFFFF;
  if (ShadowVisible()) RedrawShadow();
}

void CDropShadow::RefreshVisibility() {
  if (parent_ == nullptr || !window_) return;
  status_ &= kEnabled;
  const DWORD style = parent_->GetStyle();
  if ((status_ & kEnabled) && (style & WS_VISIBLE)) {
    status_ |= kParentVisible;
    if (!(style & (WS_MAXIMIZE | WS_MINIMIZE)) && ScreenComposites()) status_ |= kShadowVisible;
  }
  if (ShadowVisible()) {
    ShowShadow();
  } else {
    window_->ShowWindow(false, false);
  }
}

void CDropShadow::ShowShadow() {
  status_ |= kShadowVisible;
  RedrawShadow();
  window_->ShowWindow(true, false);
}

void CDropShadow::HideShadow() {
  if (window_) window_->ShowWindow(false, false);
  status_ &= static_cast<std::uint8_t>(~kShadowVisible);
}

void CDropShadow::MoveToParent() {
  if (parent_ == nullptr || !window_ || window_->GetHost() == nullptr) return;
  const RECT rc = parent_->GetWindowRect();
  window_->GetHost()->Move(rc.left + params_.xOffset - params_.size, rc.top + params_.yOffset - params_.size);
}

void CDropShadow::RedrawShadow() {
  if (parent_ == nullptr || !window_ || window_->GetHost() == nullptr) return;
  const RECT rc = parent_->GetWindowRect();
  const int width = ShadowExtent(rc.Width(), params_);
  const int height = ShadowExtent(rc.Height(), params_);
  if (width <= 0 || height <= 0) return;
  std::vector<std::uint32_t> bits(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  RenderShadow(bits.data(), width, height, RectangleOutline(rc.Width(), rc.Height()), rc.Width(), params_);
  MoveToParent();
  window_->GetHost()->Resize(width, height);
  window_->SetImage(bits, width, height);
}

LRESULT CDropShadow::SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam,
                                  const Previous& previous) {
  switch (uMsg) {
    case WM_DESTROY:
      if (window_) window_->DestroyWindow();
      break;
    case WM_MOVE:
      if (ShadowVisible()) MoveToParent();
      break;
    case WM_SIZE:
      if (!(status_ & kEnabled)) break;
      if (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXIMIZED) {
        HideShadow();
        break;
      }
      if (parent_->GetStyle() & WS_VISIBLE) {
        status_ |= kParentVisible;
        if (!ShadowVisible()) {
          if (ScreenComposites()) ShowShadow();
        } else if ((lParam & 0xFFFF) <= (lastSize_ & 0xFFFF) &&
                   ((lParam >> 16) & 0xFFFF) <= ((lastSize_ >> 16) & 0xFFFF)) {
          // Shrinking uncovers shadow pixels at once; growth is covered by
          // the parent until its next paint.
          RedrawShadow();
        } else {
          updatePending_ = true;
        }
      }
      lastSize_ = lParam;
      break;
    case WM_PAINT:
      if (updatePending_) {
        RedrawShadow();
        updatePending_ = false;
      }
      break;
    case WM_SHOWWINDOW: {
      if (!(status_ & kEnabled)) break;
      const LRESULT result = previous(uMsg, wParam, lParam);
      if (wParam != 0) {
        updatePending_ = true;
        RefreshVisibility();
      } else {
        HideShadow();
        status_ &= static_cast<std::uint8_t>(~kParentVisible);
      }
      return result;
    }
    case WM_NCDESTROY:
      parent_ = nullptr;
      break;
    case WM_EXITSIZEMOVE:
      if (ShadowVisible()) RedrawShadow();
      break;
    case WM_DWMCOMPOSITIONCHANGED:
      RefreshVisibility();
      break;
    default:
      break;
  }
  (void)hWnd;
  return previous(uMsg, wParam, lParam);
}

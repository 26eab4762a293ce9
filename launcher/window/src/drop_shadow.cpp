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
    if (m_image != nullptr) cairo_surface_destroy(m_image);
  }
  const wchar_t* WindowClassName() const override { return L"HaldenShadowWnd"; }

  // Takes bottom-up premultiplied rows, as the renderer writes them.
  void SetImage(const std::vector<std::uint32_t>& bits, int width, int height) {
    if (m_image != nullptr) cairo_surface_destroy(m_image);
    m_image = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    const int stride = cairo_image_surface_get_stride(m_image);
    unsigned char* data = cairo_image_surface_get_data(m_image);
    for (int y = 0; y < height; ++y)
      std::memcpy(data + static_cast<std::size_t>(y) * stride,
                  bits.data() + static_cast<std::size_t>(height - 1 - y) * width, static_cast<std::size_t>(width) * 4);
    cairo_surface_mark_dirty(m_image);
    if (GetHost() != nullptr) GetHost()->Invalidate({0, 0, width, height});
  }

  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override {
    if (uMsg != WM_PAINT) return CWindowWnd::OnMessage(uMsg, wParam, lParam);
    auto* cr = reinterpret_cast<cairo_t*>(wParam);
    if (cr != nullptr) {
      cairo_save(cr);
      cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
      if (m_image != nullptr) {
        cairo_set_source_surface(cr, m_image, 0, 0);
      } else {
        cairo_set_source_rgba(cr, 0, 0, 0, 0);
      }
      cairo_paint(cr);
      cairo_restore(cr);
    }
    return 0;
  }

 private:
  cairo_surface_t* m_image = nullptr;
};

CDropShadow::CDropShadow() = default;

CDropShadow::~CDropShadow() {
  // The parent owns this object, so it is still a window here even while it
  // is being torn down.
  if (m_parent != nullptr) m_parent->RemoveSubclass(this);
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
  return m_window.get();
}

void CDropShadow::AttachShadow(CWindowWnd* parent) {
  if (!g_layeredAvailable || parent == nullptr || m_parent != nullptr) return;
  m_window = std::make_unique<Surface>();
  if (m_window->Create(parent->GetHWND(), L"", kPopupWindowStyle, WS_EX_LAYERED | WS_EX_TRANSPARENT,
                       CW_USEDEFAULT, 0, 0, 0) == 0) {
    m_window.reset();
    return;
  }
  m_parent = parent;
  m_status = kEnabled;
  RefreshVisibility();
  parent->AddSubclass(this);
}

void CDropShadow::SetSize(int size) {
  m_params.size = static_cast<std::int8_t>(size);
  if (ShadowVisible()) RedrawShadow();
}
void CDropShadow::SetSharpness(unsigned sharpness) {
  m_params.sharpness = static_cast<std::uint8_t>(sharpness);
  if (ShadowVisible()) RedrawShadow();
}
void CDropShadow::SetDarkness(unsigned darkness) {
  m_params.darkness = darkness > 255 ? 255 : static_cast<int>(darkness);
  if (ShadowVisible()) RedrawShadow();
}
void CDropShadow::SetPosition(int x, int y) {
  m_params.xOffset = static_cast<std::int8_t>(x);
  m_params.yOffset = static_cast<std::int8_t>(y);
  if (ShadowVisible()) RedrawShadow();
}
void CDropShadow::SetColor(std::uint32_t rgb) {
  m_params.colour = rgb & 0xFFFFFF;
  if (ShadowVisible()) RedrawShadow();
}

void CDropShadow::RefreshVisibility() {
  if (m_parent == nullptr || !m_window) return;
  m_status &= kEnabled;
  const DWORD style = m_parent->GetStyle();
  if ((m_status & kEnabled) && (style & WS_VISIBLE)) {
    m_status |= kParentVisible;
    if (!(style & (WS_MAXIMIZE | WS_MINIMIZE)) && ScreenComposites()) m_status |= kShadowVisible;
  }
  if (ShadowVisible()) {
    ShowShadow();
  } else {
    m_window->ShowWindow(false, false);
  }
}

void CDropShadow::ShowShadow() {
  m_status |= kShadowVisible;
  RedrawShadow();
  m_window->ShowWindow(true, false);
}

void CDropShadow::HideShadow() {
  if (m_window) m_window->ShowWindow(false, false);
  m_status &= static_cast<std::uint8_t>(~kShadowVisible);
}

void CDropShadow::MoveToParent() {
  if (m_parent == nullptr || !m_window || m_window->GetHost() == nullptr) return;
  const RECT rc = m_parent->GetWindowRect();
  m_window->GetHost()->Move(rc.left + m_params.xOffset - m_params.size, rc.top + m_params.yOffset - m_params.size);
}

void CDropShadow::RedrawShadow() {
  if (m_parent == nullptr || !m_window || m_window->GetHost() == nullptr) return;
  const RECT rc = m_parent->GetWindowRect();
  const int width = ShadowExtent(rc.Width(), m_params);
  const int height = ShadowExtent(rc.Height(), m_params);
  if (width <= 0 || height <= 0) return;
  std::vector<std::uint32_t> bits(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
  RenderShadow(bits.data(), width, height, RectangleOutline(rc.Width(), rc.Height()), rc.Width(), m_params);
  MoveToParent();
  m_window->GetHost()->Resize(width, height);
  m_window->SetImage(bits, width, height);
}

LRESULT CDropShadow::SubclassProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, const Previous& previous) {
  switch (uMsg) {
    case WM_DESTROY:
      if (m_window) m_window->DestroyWindow();
      break;
    case WM_MOVE:
      if (ShadowVisible()) MoveToParent();
      break;
    case WM_SIZE:
      if (!(m_status & kEnabled)) break;
      if (wParam == SIZE_MINIMIZED || wParam == SIZE_MAXIMIZED) {
        HideShadow();
        break;
      }
      if (m_parent->GetStyle() & WS_VISIBLE) {
        m_status |= kParentVisible;
        if (!ShadowVisible()) {
          if (ScreenComposites()) ShowShadow();
        } else if ((lParam & 0xFFFF) <= (m_lastSize & 0xFFFF) &&
                   ((lParam >> 16) & 0xFFFF) <= ((m_lastSize >> 16) & 0xFFFF)) {
          // Shrinking uncovers shadow pixels at once; growth is covered by
          // the parent until its next paint.
          RedrawShadow();
        } else {
          m_updatePending = true;
        }
      }
      m_lastSize = lParam;
      break;
    case WM_PAINT:
      if (m_updatePending) {
        RedrawShadow();
        m_updatePending = false;
      }
      break;
    case WM_SHOWWINDOW: {
      if (!(m_status & kEnabled)) break;
      const LRESULT result = previous(uMsg, wParam, lParam);
      if (wParam != 0) {
        m_updatePending = true;
        RefreshVisibility();
      } else {
        HideShadow();
        m_status &= static_cast<std::uint8_t>(~kParentVisible);
      }
      return result;
    }
    case WM_NCDESTROY:
      m_parent = nullptr;
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

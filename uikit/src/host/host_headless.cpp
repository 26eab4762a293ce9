#include "skinui/host_headless.h"

#include <cstdio>

#include "skinui/paint_manager.h"
#include "skinui/text_convert.h"
#include "skinui/window_wnd.h"

namespace SkinUI {
namespace {

class HeadlessHostWindow : public IHostWindow {
 public:
  HeadlessHostWindow(IHostWindowSink* sink, const HostWindowParams& p) : m_sink(sink) {
    const int cx = p.cx == CW_USEDEFAULT ? 0 : p.cx;
    const int cy = p.cy == CW_USEDEFAULT ? 0 : p.cy;
    const int x = p.x == CW_USEDEFAULT ? 0 : p.x;
    const int y = p.y == CW_USEDEFAULT ? 0 : p.y;
    m_rect = {x, y, x + cx, y + cy};
  }

  void Show(bool show, bool) override {
    if (m_visible == show || m_destroyed) return;
    m_visible = show;
    m_sink->HostMessage(WM_SHOWWINDOW, show ? 1 : 0, 0);
  }
  bool IsVisible() const override { return m_visible; }
  void Move(int x, int y) override {
    m_rect = {x, y, x + m_rect.Width(), y + m_rect.Height()};
    if (!m_destroyed) m_sink->HostMessage(WM_MOVE, 0, MAKELPARAM(x, y));
  }
  void Resize(int cx, int cy) override {
    m_rect.right = m_rect.left + (cx < 0 ? 0 : cx);
    m_rect.bottom = m_rect.top + (cy < 0 ? 0 : cy);
    sendSize(m_maximized ? SIZE_MAXIMIZED : SIZE_RESTORED);
  }
  RECT GetWindowRect() const override { return m_rect; }
  RECT GetWorkArea() const override { return HeadlessEventLoop::kWorkArea; }
  void Invalidate(const RECT&) override {}
  void SetCursor(CursorKind kind) override { m_cursor = kind; }
  void SetCapture(bool) override {}
  void BeginMoveDrag(POINT) override {}
  void BeginResizeDrag(int, POINT) override {}
  void Minimize() override {
    m_minimized = true;
    sendSize(SIZE_MINIMIZED);
  }
  void Maximize() override {
    if (m_maximized) return;
    m_restore = m_rect;
    m_maximized = true;
    m_minimized = false;
    m_rect = HeadlessEventLoop::kWorkArea;
    sendSize(SIZE_MAXIMIZED);
  }
  void Restore() override {
    if (m_minimized) {
      m_minimized = false;
    } else if (m_maximized) {
      m_maximized = false;
      m_rect = m_restore;
    }
    sendSize(m_maximized ? SIZE_MAXIMIZED : SIZE_RESTORED);
  }
  bool IsMaximized() const override { return m_maximized; }
  bool IsMinimized() const override { return m_minimized; }
  void SetTitle(const std::wstring&) override {}
  void SetMinMaxSize(SIZE, SIZE) override {}
  void SetRoundCorner(int, int) override {}
  void Focus() override {}
  void* NativeHandle() const override { return nullptr; }
  void Destroy() override {
    if (m_destroyed) return;
    m_destroyed = true;
    m_visible = false;
    m_sink->HostMessage(WM_DESTROY, 0, 0);
    m_sink->HostMessage(WM_NCDESTROY, 0, 0);
  }

 private:
  void sendSize(WPARAM kind) {
    if (!m_destroyed) m_sink->HostMessage(WM_SIZE, kind, MAKELPARAM(m_rect.Width(), m_rect.Height()));
  }

  IHostWindowSink* m_sink;
  RECT m_rect{};
  RECT m_restore{};
  bool m_visible = false;
  bool m_maximized = false;
  bool m_minimized = false;
  bool m_destroyed = false;
  CursorKind m_cursor = CursorKind::Arrow;
};

}  // namespace

std::unique_ptr<IHostWindow> HeadlessEventLoop::CreateHostWindow(IHostWindowSink* sink,
                                                                 const HostWindowParams& params) {
  return std::make_unique<HeadlessHostWindow>(sink, params);
}

void HeadlessEventLoop::Post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.push_back(std::move(task));
  }
  m_wake.notify_one();
}

int HeadlessEventLoop::RunPending() {
  int ran = 0;
  while (!m_quit) {
    std::function<void()> task;
    {
      std::lock_guard<std::mutex> lock(m_mutex);
      if (m_queue.empty()) break;
      task = std::move(m_queue.front());
      m_queue.pop_front();
    }
    task();
    ++ran;
  }
  return ran;
}

int HeadlessEventLoop::Run() {
  while (!m_quit) {
    std::function<void()> task;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_wake.wait(lock, [this] { return !m_queue.empty(); });
      task = std::move(m_queue.front());
      m_queue.pop_front();
    }
    task();
  }
  return m_quitCode;
}

void HeadlessEventLoop::Quit(int code) {
  m_quit = true;
  m_quitCode = code;
}

int HeadlessEventLoop::ShowMessageBox(HWND, const std::wstring& text, const std::wstring& caption,
                                      MessageBoxIcon) {
  m_lastText = text;
  m_lastCaption = caption;
  ++m_boxes;
  // Without a display the message still has to reach someone.
  std::fprintf(stderr, "%s: %s\n", WideToUtf8(caption).c_str(), WideToUtf8(text).c_str());
  return 1;
}

std::optional<std::string> HeadlessEventLoop::ChooseFile(const FileChooserParams& params) {
  m_lastChooser = params;
  return m_chooserAnswer;
}

CairoSurfacePtr RenderWindow(CWindowWnd& window) {
  const RECT rc = window.GetClientRect();
  if (rc.IsEmpty()) return nullptr;
  CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, rc.Width(), rc.Height()));
  {
    CairoPtr cr(cairo_create(surface.get()));
    window.SendMessage(WM_PAINT, reinterpret_cast<WPARAM>(cr.get()), 0);
  }
  cairo_surface_flush(surface.get());
  return surface;
}

bool RenderWindowToPng(CWindowWnd& window, const std::string& path) {
  CairoSurfacePtr surface = RenderWindow(window);
  return surface && cairo_surface_write_to_png(surface.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

}  // namespace SkinUI

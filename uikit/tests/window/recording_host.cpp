#include "recording_host.h"

#include "skinui/paint_manager.h"

namespace SkinUI::test {

RecordingHostWindow::RecordingHostWindow(IHostWindowSink* sink, const HostWindowParams& p,
                                         std::vector<std::string>* log)
    : m_sink(sink), m_log(log) {
  const int x = p.x == CW_USEDEFAULT ? 0 : p.x;
  const int y = p.y == CW_USEDEFAULT ? 0 : p.y;
  const int cx = p.cx == CW_USEDEFAULT ? 0 : p.cx;
  const int cy = p.cy == CW_USEDEFAULT ? 0 : p.cy;
  m_rect = {x, y, x + cx, y + cy};
}

void RecordingHostWindow::Show(bool show, bool activate) {
  log(std::string(show ? "show" : "hide") + (activate ? " activate" : ""));
  if (m_visible == show) return;
  m_visible = show;
  m_sink->HostMessage(WM_SHOWWINDOW, show ? 1 : 0, 0);
}

void RecordingHostWindow::Move(int x, int y) {
  log("move " + std::to_string(x) + " " + std::to_string(y));
  m_rect = {x, y, x + m_rect.Width(), y + m_rect.Height()};
  m_sink->HostMessage(WM_MOVE, 0, MAKELPARAM(x, y));
}

void RecordingHostWindow::Resize(int cx, int cy) {
  log("resize " + std::to_string(cx) + " " + std::to_string(cy));
  m_rect.right = m_rect.left + cx;
  m_rect.bottom = m_rect.top + cy;
  sendSize(m_maximized ? SIZE_MAXIMIZED : SIZE_RESTORED);
}

void RecordingHostWindow::SetCursor(CursorKind kind) {
  log(kind == CursorKind::Hand ? "cursor hand" : "cursor arrow");
}

void RecordingHostWindow::SetCapture(bool capture) {
  log(capture ? "capture on" : "capture off");
}

void RecordingHostWindow::BeginMoveDrag(POINT screen) {
  log("move drag " + std::to_string(screen.x) + " " + std::to_string(screen.y));
}

void RecordingHostWindow::BeginResizeDrag(int hitTest, POINT screen) {
  log("resize drag " + std::to_string(hitTest) + " " + std::to_string(screen.x) + " " +
      std::to_string(screen.y));
}

void RecordingHostWindow::Minimize() {
  log("minimize");
  m_minimized = true;
  sendSize(SIZE_MINIMIZED);
}

void RecordingHostWindow::Maximize() {
  log("maximize");
  m_restore = m_rect;
  m_maximized = true;
  m_minimized = false;
  m_rect = HeadlessEventLoop::kWorkArea;
  sendSize(SIZE_MAXIMIZED);
}

void RecordingHostWindow::Restore() {
  log("restore");
  if (m_minimized) {
    m_minimized = false;
  } else if (m_maximized) {
    m_maximized = false;
    m_rect = m_restore;
  }
  sendSize(m_maximized ? SIZE_MAXIMIZED : SIZE_RESTORED);
}

void RecordingHostWindow::SetMinMaxSize(SIZE min, SIZE max) {
  log("limits " + std::to_string(min.cx) + "x" + std::to_string(min.cy) + " " + std::to_string(max.cx) + "x" +
      std::to_string(max.cy));
}

void RecordingHostWindow::SetRoundCorner(int cx, int cy) {
  log("round " + std::to_string(cx) + " " + std::to_string(cy));
}

void RecordingHostWindow::Destroy() {
  log("destroy");
  if (m_destroyed) return;
  m_destroyed = true;
  m_visible = false;
  m_sink->HostMessage(WM_DESTROY, 0, 0);
  m_sink->HostMessage(WM_NCDESTROY, 0, 0);
}

void RecordingHostWindow::sendSize(WPARAM kind) {
  if (!m_destroyed) m_sink->HostMessage(WM_SIZE, kind, MAKELPARAM(m_rect.Width(), m_rect.Height()));
}

RecordingEventLoop& UseRecordingHost() {
  auto loop = std::make_unique<RecordingEventLoop>();
  RecordingEventLoop& ref = *loop;
  SetEventLoop(std::move(loop));
  return ref;
}

}  // namespace SkinUI::test

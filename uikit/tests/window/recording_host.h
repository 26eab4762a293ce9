#pragma once
// A host that writes down what the toolkit asks of it (drags, system
// commands, size limits, cursor, capture, shape) and otherwise behaves like
// the headless host, so window code can be checked against the host contract
// the GTK host implements.
#include <string>
#include <vector>

#include "skinui/host_headless.h"

namespace SkinUI::test {

class RecordingHostWindow : public IHostWindow {
 public:
  RecordingHostWindow(IHostWindowSink* sink, const HostWindowParams& p, std::vector<std::string>* log);

  void Show(bool show, bool activate) override;
  bool IsVisible() const override { return m_visible; }
  void Move(int x, int y) override;
  void Resize(int cx, int cy) override;
  RECT GetWindowRect() const override { return m_rect; }
  RECT GetWorkArea() const override { return HeadlessEventLoop::kWorkArea; }
  void Invalidate(const RECT&) override {}
  void SetCursor(CursorKind kind) override;
  void SetCapture(bool capture) override;
  void BeginMoveDrag(POINT screen) override;
  void BeginResizeDrag(int hitTest, POINT screen) override;
  void Minimize() override;
  void Maximize() override;
  void Restore() override;
  bool IsMaximized() const override { return m_maximized; }
  bool IsMinimized() const override { return m_minimized; }
  void SetTitle(const std::wstring&) override {}
  void SetMinMaxSize(SIZE min, SIZE max) override;
  void SetRoundCorner(int cx, int cy) override;
  void Focus() override {}
  void* NativeHandle() const override { return nullptr; }
  void Destroy() override;

 private:
  void log(const std::string& line) { m_log->push_back(line); }
  void sendSize(WPARAM kind);

  IHostWindowSink* m_sink;
  std::vector<std::string>* m_log;
  RECT m_rect{};
  RECT m_restore{};
  bool m_visible = false;
  bool m_maximized = false;
  bool m_minimized = false;
  bool m_destroyed = false;
};

class RecordingEventLoop : public HeadlessEventLoop {
 public:
  std::unique_ptr<IHostWindow> CreateHostWindow(IHostWindowSink* sink,
                                                const HostWindowParams& params) override {
    return std::make_unique<RecordingHostWindow>(sink, params, &calls);
  }
  // Every host call of every window, in order.
  std::vector<std::string> calls;
};

// Installs a fresh recording loop as the process's loop.
RecordingEventLoop& UseRecordingHost();

}  // namespace SkinUI::test

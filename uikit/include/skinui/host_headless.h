#pragma once
// A host without a display: windows are rectangles, events are whatever a
// test sends, and painting goes to an image surface that can be saved as
// PNG. Posted tasks wait in a queue until the loop runs them.
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

#include "skinui/host.h"
#include "skinui/image.h"

namespace SkinUI {

class CWindowWnd;

class HeadlessEventLoop : public IEventLoop {
 public:
  std::unique_ptr<IHostWindow> CreateHostWindow(IHostWindowSink* sink,
                                                const HostWindowParams& params) override;
  void Post(std::function<void()> task) override;
  int Run() override;
  void Quit(int code) override;
  int ShowMessageBox(HWND owner, const std::wstring& text, const std::wstring& caption,
                     MessageBoxIcon icon) override;
  // Nobody to ask: the answer is whatever a test set, and the request is
  // kept for it to look at.
  std::optional<std::string> ChooseFile(const FileChooserParams& params) override;
  void SetChooserAnswer(std::optional<std::string> answer) { m_chooserAnswer = std::move(answer); }
  const FileChooserParams& LastChooserRequest() const { return m_lastChooser; }
  // Painting goes to memory, where alpha always shows; tests may say
  // otherwise (and then send WM_DWMCOMPOSITIONCHANGED themselves).
  bool LayeredWindowsSupported() const override { return true; }
  bool IsCompositionEnabled() const override { return m_composited; }
  void SetCompositionEnabled(bool on) { m_composited = on; }

  // Runs what is queued now (and what those tasks queue) until the queue is
  // empty or a quit is reached; returns the number of tasks run.
  int RunPending();
  bool QuitRequested() const { return m_quit; }
  int QuitCode() const { return m_quitCode; }
  void ClearQuit() { m_quit = false; }

  const std::wstring& LastMessageBoxText() const { return m_lastText; }
  const std::wstring& LastMessageBoxCaption() const { return m_lastCaption; }
  int MessageBoxCount() const { return m_boxes; }

  static constexpr RECT kWorkArea{0, 0, 1280, 800};

 private:
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<std::function<void()>> m_queue;
  bool m_quit = false;
  int m_quitCode = 0;
  std::wstring m_lastText;
  std::wstring m_lastCaption;
  int m_boxes = 0;
  std::optional<std::string> m_chooserAnswer;
  FileChooserParams m_lastChooser;
  bool m_composited = true;
};

// Installs a fresh headless loop as the process's loop and returns it.
HeadlessEventLoop& UseHeadlessHost();

// Paints a window's client area into a new image surface (null when the
// window has no area).
CairoSurfacePtr RenderWindow(CWindowWnd& window);
bool RenderWindowToPng(CWindowWnd& window, const std::string& path);

}  // namespace SkinUI

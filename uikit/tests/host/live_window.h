#pragma once
// Support for the real-window tests: a skinned window that logs what the GTK
// host delivers (safe to read from the driving thread), runs work on the loop
// thread on request, and ends the loop once it is destroyed; and helpers to
// drive X from outside with xdotool.
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "../window/test_skin.h"
#include "support/xdotool_geometry.h"

namespace SkinUI::test {

using namespace std::chrono_literals;

struct LoggedMessage {
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
  std::thread::id thread;
};

// Shared by the window kinds below: a thread-safe message log.
class MessageLog {
 public:
  void Add(UINT msg, WPARAM w, LPARAM l);
  std::vector<LoggedMessage> Of(UINT msg) const;
  std::size_t Count(UINT msg) const { return Of(msg).size(); }
  bool Any(UINT msg, const std::function<bool(const LoggedMessage&)>& match = {}) const;

 private:
  mutable std::mutex m_mutex;
  std::vector<LoggedMessage> m_log;
};

class LiveWindow : public RecordingWindow {
 public:
  static constexpr UINT kRunTasks = WM_USER + 900;
  static constexpr UINT kDestroyNow = WM_USER + 901;

  LRESULT OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
  LRESULT OnWmClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
  void OnSkinReady() override;
  void AfterDestroy(HWND hWnd) override;

  // From the driving thread: runs `task` on the loop thread and waits for
  // it; false when it did not run in time (the window is gone, say).
  bool OnLoop(std::function<void()> task);
  // From the driving thread: ends the window (and so the loop) whatever it
  // would answer to WM_CLOSE.
  void Finish() const;

  MessageLog log;
  HWND handle = 0;  // copied once created, for posting from other threads
  std::atomic<bool> refuseClose{false};
  std::atomic<bool> destroyed{false};
  std::atomic<int> paints{0};
  std::function<void(LiveWindow&)> onSkinReady;

 private:
  void runTasks();
  std::mutex m_taskMutex;
  std::vector<std::function<void()>> m_tasks;
};

// Waits (polling) until `done` holds; false after `limit`.
bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 8000ms);

// Runs xdotool with `args`; true when it succeeded.
bool Xdo(const std::string& args);

using XGeometry = test_env::WindowGeometry;
// The X window behind a toolkit window (loop thread only), and the X
// server's idea of its place and size (any thread).
unsigned long XWindowId(CWindowWnd& wnd);
std::optional<XGeometry> WindowGeometry(unsigned long xid);

// The X server's view, over a connection of the caller's own (any thread):
// the root window's children from bottom to top, whether a window is
// override-redirect, and its WM_CLASS as "name/class".
std::vector<unsigned long> RootStack();
bool IsOverrideRedirect(unsigned long xid);
std::string WmClass(unsigned long xid);

// Why the real-window tests cannot run here, or empty when they can (then
// the GTK host is installed).
std::string RealWindowsUnavailable();

}  // namespace SkinUI::test

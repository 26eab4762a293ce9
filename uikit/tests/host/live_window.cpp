#include "live_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>

#include "support/wait_until.h"

namespace SkinUI::test {

void MessageLog::Add(UINT msg, WPARAM w, LPARAM l) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_log.push_back({msg, w, l, std::this_thread::get_id()});
}

std::vector<LoggedMessage> MessageLog::Of(UINT msg) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::vector<LoggedMessage> out;
  for (const LoggedMessage& m : m_log) {
    if (m.msg == msg) out.push_back(m);
  }
  return out;
}

bool MessageLog::Any(UINT msg, const std::function<bool(const LoggedMessage&)>& match) const {
  for (const LoggedMessage& m : Of(msg)) {
    if (!match || match(m)) return true;
  }
  return false;
}

LRESULT LiveWindow::OnMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
  if (uMsg == kRunTasks) {
    runTasks();
    return 0;
  }
  if (uMsg == kDestroyNow) {
    DestroyWindow();
    return 0;
  }
  if (uMsg == WM_PAINT) {
    ++paints;
  } else {
    log.Add(uMsg, wParam, lParam);
  }
  return RecordingWindow::OnMessage(uMsg, wParam, lParam);
}

LRESULT LiveWindow::OnWmClose(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
  if (refuseClose) return 0;
  return RecordingWindow::OnWmClose(uMsg, wParam, lParam, bHandled);
}

void LiveWindow::OnSkinReady() {
  RecordingWindow::OnSkinReady();
  if (onSkinReady) onSkinReady(*this);
}

void LiveWindow::AfterDestroy(HWND hWnd) {
  RecordingWindow::AfterDestroy(hWnd);
  destroyed = true;
  PostQuitMessage(0);
}

bool LiveWindow::OnLoop(std::function<void()> task) {
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> ran = done->get_future();
  {
    std::lock_guard<std::mutex> lock(m_taskMutex);
    m_tasks.push_back([task = std::move(task), done] {
      task();
      done->set_value();
    });
  }
  ::SkinUI::PostMessage(handle, kRunTasks, 0, 0);
  return ran.wait_for(10s) == std::future_status::ready;
}

void LiveWindow::Finish() const {
  ::SkinUI::PostMessage(handle, kDestroyNow, 0, 0);
}

void LiveWindow::runTasks() {
  std::vector<std::function<void()>> tasks;
  {
    std::lock_guard<std::mutex> lock(m_taskMutex);
    tasks.swap(m_tasks);
  }
  for (auto& task : tasks) task();
}

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  return test_env::WaitUntil(done, limit);
}

bool Xdo(const std::string& args) {
  return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0;
}

unsigned long XWindowId(CWindowWnd& wnd) {
  auto* widget = wnd.GetHost() != nullptr ? static_cast<GtkWidget*>(wnd.GetHost()->NativeHandle()) : nullptr;
  GdkWindow* window = widget != nullptr ? gtk_widget_get_window(widget) : nullptr;
  return window != nullptr ? gdk_x11_window_get_xid(window) : 0;
}

std::optional<XGeometry> WindowGeometry(unsigned long xid) {
  const std::string cmd = "xdotool getwindowgeometry --shell " + std::to_string(xid) + " 2>/dev/null";
  FILE* pipe = popen(cmd.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string text;
  char buf[256];
  while (std::fgets(buf, sizeof buf, pipe) != nullptr) text += buf;
  pclose(pipe);
  return test_env::ParseXdotoolGeometry(text);
}

namespace {

struct XConnection {
  XConnection() : display(XOpenDisplay(nullptr)) {}
  ~XConnection() {
    if (display != nullptr) XCloseDisplay(display);
  }
  Display* display;
};

}  // namespace

std::vector<unsigned long> RootStack() {
  XConnection x;
  std::vector<unsigned long> stack;
  if (x.display == nullptr) return stack;
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (XQueryTree(x.display, DefaultRootWindow(x.display), &root, &parent, &children, &count)) {
    stack.assign(children, children + count);
    XFree(children);
  }
  return stack;
}

bool IsOverrideRedirect(unsigned long xid) {
  XConnection x;
  XWindowAttributes attributes{};
  return x.display != nullptr && XGetWindowAttributes(x.display, xid, &attributes) &&
         attributes.override_redirect;
}

std::string WmClass(unsigned long xid) {
  XConnection x;
  XClassHint hint{};
  if (x.display == nullptr || !XGetClassHint(x.display, xid, &hint)) return "";
  std::string text = std::string(hint.res_name) + "/" + hint.res_class;
  XFree(hint.res_name);
  XFree(hint.res_class);
  return text;
}

std::string RealWindowsUnavailable() {
  if (std::getenv("DISPLAY") == nullptr) return "no DISPLAY: the real-window tests need an X server";
  if (std::system("command -v xdotool >/dev/null 2>&1") != 0) return "xdotool is not installed";
  // No accessibility bridge: the tests have no use for it, and it leaves a
  // D-Bus connection behind that the leak checker would report.
  setenv("NO_AT_BRIDGE", "1", 0);
  if (!UseGtkHost()) return "GTK could not open the display";
  return "";
}

}  // namespace SkinUI::test

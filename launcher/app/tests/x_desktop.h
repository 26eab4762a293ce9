#pragma once
// A private X display for one end-to-end test, made the way users' screens
// are: an X server (Xvfb) alone, with a compositing manager (xcompmgr), or
// with a window manager (openbox) and a compositing manager together. Each
// part is started here and waited for by what it announces on the display
// (the display number, the window manager's check window, the compositor's
// selection), never by time. Tests read the screen through the same
// connection.
#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "window_e2e_support.h"

namespace e2e {

enum class World {
  kPlainX,          // an X server and nothing else
  kCompositorOnly,  // a compositing manager, no window manager
  kDesktop,         // a window manager and a compositing manager
};
const char* WorldName(World world);
// For test names and failure messages.
inline void PrintTo(World world, std::ostream* out) {
  *out << WorldName(world);
}
bool WorldHasCompositor(World world);

class XDesktop {
 public:
  XDesktop() = default;
  ~XDesktop();
  XDesktop(const XDesktop&) = delete;
  XDesktop& operator=(const XDesktop&) = delete;

  // Starts the display and what `world` puts on it; logs go to `logDir`.
  // Empty when it is ready, else why it is not.
  std::string Start(World world, const std::string& logDir);
  // ":N", for DISPLAY.
  const std::string& DisplayName() const { return name_; }

  // Each waits until the compositor's selection says it is done.
  bool StopCompositor();
  bool StartCompositor();
  bool Composited();

  // Pixels of a screen rectangle, row by row; empty when it cannot be read.
  std::vector<Rgb> Grab(int x, int y, int width, int height);
  // A PNG of the whole screen.
  bool SaveScreenshot(const std::string& path) const;

 private:
  bool startXServer();
  bool waitFor(const std::function<bool()>& ready, std::chrono::milliseconds limit);
  bool windowManagerRunning();

  std::string logDir_;
  std::string name_;
  Child server_;
  Child windowManager_;
  std::unique_ptr<Child> compositor_;
  int compositorRuns_ = 0;
  Display* display_ = nullptr;
  Atom cmSelection_ = 0;
  Atom wmCheck_ = 0;
};

}  // namespace e2e

#include "x_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

using namespace std::chrono_literals;

namespace e2e {
namespace {

// A loaded two-core machine shared with other builds may take seconds to
// start a server; the limits only bound a test that would otherwise hang.
constexpr auto kStartLimit = 30s;

std::optional<std::string> readDisplayNumber(int fd) {
  std::string number;
  const auto end = std::chrono::steady_clock::now() + kStartLimit;
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 1))) <= 0) continue;
    char c = 0;
    if (read(fd, &c, 1) != 1) break;
    if (c == '\n') return number;
    number += c;
  }
  if (!number.empty()) return number;
  return std::nullopt;
}

}  // namespace

const char* WorldName(World world) {
  switch (world) {
    case World::kPlainX:
      return "PlainX";
    case World::kCompositorOnly:
      return "CompositorOnly";
    case World::kDesktop:
      return "Desktop";
  }
  return "?";
}

bool WorldHasCompositor(World world) {
  return world != World::kPlainX;
}

XDesktop::~XDesktop() {
  // Clients first, so none of them reports the server going away as a fault.
  compositor_.reset();
  windowManager_.Stop();
  if (display_ != nullptr) XCloseDisplay(display_);
  server_.Stop();
}

std::string XDesktop::Start(World world, const std::string& logDir) {
  logDir_ = logDir;
  for (const char* tool : {"Xvfb", "openbox", "xcompmgr"})
    if (!ToolAvailable(tool)) return std::string(tool) + " is not installed";
  if (!startXServer()) return "Xvfb did not start; see " + logDir_ + "/xvfb.log";
  setenv("DISPLAY", name_.c_str(), 1);
  if (world == World::kDesktop) {
    if (!windowManager_.Start({"openbox", "--sm-disable"}, logDir_ + "/openbox.log") ||
        !waitFor([this] { return windowManagerRunning(); }, kStartLimit))
      return "openbox did not start; see " + logDir_ + "/openbox.log";
  }
  if (WorldHasCompositor(world) && !StartCompositor())
    return "xcompmgr did not start; see " + logDir_ + "/xcompmgr-1.log";
  return "";
}

// Xvfb picks a free display itself and names it on a pipe once it accepts
// connections, so tests running side by side never race for a number.
bool XDesktop::startXServer() {
  int fds[2];
  if (pipe(fds) != 0) return false;
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  // A white root: nothing on an empty screen is black, so black pixels are
  // always someone's fault.
  const bool started = server_.Start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                      "1280x800x24", "-nolisten", "tcp", "-wr"},
                                     logDir_ + "/xvfb.log");
  close(fds[1]);
  const std::optional<std::string> number = started ? readDisplayNumber(fds[0]) : std::nullopt;
  close(fds[0]);
  if (!number) return false;
  name_ = ":" + *number;
  display_ = XOpenDisplay(name_.c_str());
  if (display_ == nullptr) return false;
  const Window root = DefaultRootWindow(display_);
  wmCheck_ = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
  cmSelection_ =
      XInternAtom(display_, ("_NET_WM_CM_S" + std::to_string(DefaultScreen(display_))).c_str(), False);
  XSelectInput(display_, root, PropertyChangeMask);
  int eventBase = 0;
  int errorBase = 0;
  if (XFixesQueryExtension(display_, &eventBase, &errorBase))
    XFixesSelectSelectionInput(display_, root, cmSelection_,
                               XFixesSetSelectionOwnerNotifyMask | XFixesSelectionWindowDestroyNotifyMask |
                                   XFixesSelectionClientCloseNotifyMask);
  XSync(display_, False);
  return true;
}

// Runs until `ready` holds: wakes on every X event (property and selection
// changes) and looks again at least every 100 ms.
bool XDesktop::waitFor(const std::function<bool()>& ready, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (ready()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    XFlush(display_);
    pollfd p{ConnectionNumber(display_), POLLIN, 0};
    poll(&p, 1, 100);
    while (XPending(display_) > 0) {
      XEvent event;
      XNextEvent(display_, &event);
    }
  }
}

bool XDesktop::windowManagerRunning() {
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  const int rc = XGetWindowProperty(display_, DefaultRootWindow(display_), wmCheck_, 0, 1, False, XA_WINDOW,
                                    &type, &format, &count, &after, &data);
  if (data != nullptr) XFree(data);
  return rc == Success && type == XA_WINDOW && count == 1;
}

bool XDesktop::Composited() {
  return XGetSelectionOwner(display_, cmSelection_) != None;
}

bool XDesktop::StartCompositor() {
  compositor_ = std::make_unique<Child>();
  const std::string log = logDir_ + "/xcompmgr-" + std::to_string(++compositorRuns_) + ".log";
  // -n: plain compositing without shadows of its own, so every soft dark
  // pixel on the screen is the launcher's shadow.
  if (!compositor_->Start({"xcompmgr", "-n"}, log)) return false;
  return waitFor([this] { return Composited(); }, kStartLimit);
}

bool XDesktop::StopCompositor() {
  if (!compositor_) return true;
  compositor_->Stop();
  compositor_.reset();
  return waitFor([this] { return !Composited(); }, kStartLimit);
}

std::vector<Rgb> XDesktop::Grab(int x, int y, int width, int height) {
  std::vector<Rgb> pixels;
  XImage* image = XGetImage(display_, DefaultRootWindow(display_), x, y, static_cast<unsigned>(width),
                            static_cast<unsigned>(height), AllPlanes, ZPixmap);
  if (image == nullptr) return pixels;
  pixels.reserve(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int row = 0; row < height; ++row) {
    for (int col = 0; col < width; ++col) {
      const unsigned long p = XGetPixel(image, col, row);
      pixels.push_back({static_cast<int>((p & image->red_mask) >> 16),
                        static_cast<int>((p & image->green_mask) >> 8),
                        static_cast<int>(p & image->blue_mask)});
    }
  }
  XDestroyImage(image);
  return pixels;
}

bool XDesktop::SaveScreenshot(const std::string& path) const {
  const std::string cmd = "import -display " + name_ + " -silent -window root '" + path + "' >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}

}  // namespace e2e

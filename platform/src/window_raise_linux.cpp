#include "platform/window_raise.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <memory>
#include <vector>

namespace platform {
namespace {

struct DisplayCloser {
  void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

struct XFreer {
  void operator()(void* data) const { XFree(data); }
};

// Ignore errors from windows that vanish between listing and reading: the
// default handler would end the process.
int ignoreXError(Display*, XErrorEvent*) {
  return 0;
}

class ErrorHandlerScope {
 public:
  ErrorHandlerScope() : previous_(XSetErrorHandler(ignoreXError)) {}
  ~ErrorHandlerScope() { XSetErrorHandler(previous_); }
  ErrorHandlerScope(const ErrorHandlerScope&) = delete;
  ErrorHandlerScope& operator=(const ErrorHandlerScope&) = delete;

 private:
  XErrorHandler previous_;
};

// Reads a whole property of 8- or 32-bit items. Empty when absent.
std::vector<unsigned char> readProperty(Display* display, Window window, Atom property, Atom type,
                                        int* format) {
  Atom actualType = None;
  int actualFormat = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* raw = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1 << 20, False, type, &actualType, &actualFormat,
                         &count, &remaining, &raw) != Success) {
    return {};
  }
  std::unique_ptr<unsigned char, XFreer> owner(raw);
  if (raw == nullptr || actualType == None) return {};
  *format = actualFormat;
  // Format 32 items are longs in client memory whatever their wire size.
  std::size_t itemSize = actualFormat == 32 ? sizeof(long) : static_cast<std::size_t>(actualFormat / 8);
  return std::vector<unsigned char>(raw, raw + count * itemSize);
}

// _NET_WM_NAME (UTF-8) first, because WM_NAME may be in another encoding.
std::string windowTitle(Display* display, Window window) {
  int format = 0;
  Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  std::vector<unsigned char> bytes = readProperty(display, window, netName, utf8, &format);
  if (!bytes.empty() && format == 8) return std::string(bytes.begin(), bytes.end());
  bytes = readProperty(display, window, XA_WM_NAME, AnyPropertyType, &format);
  if (!bytes.empty() && format == 8) return std::string(bytes.begin(), bytes.end());
  return {};
}

std::vector<Window> managedClients(Display* display) {
  int format = 0;
  Atom clientList = XInternAtom(display, "_NET_CLIENT_LIST", True);
  if (clientList == None) return {};
  std::vector<unsigned char> bytes =
      readProperty(display, DefaultRootWindow(display), clientList, XA_WINDOW, &format);
  if (format != 32) return {};
  std::vector<Window> windows(bytes.size() / sizeof(long));
  for (std::size_t i = 0; i < windows.size(); ++i) {
    long value;
    std::memcpy(&value, bytes.data() + i * sizeof(long), sizeof value);
    windows[i] = static_cast<Window>(value);
  }
  return windows;
}

// Without a window manager there is no client list: the root's children are
// the top-level windows. A reparenting manager puts frames there, so look one
// level into each child too.
void collectTree(Display* display, Window window, int depth, std::vector<Window>* out) {
  Window root, parent, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return;
  std::unique_ptr<Window, XFreer> owner(children);
  for (unsigned int i = 0; i < count; ++i) {
    out->push_back(children[i]);
    if (depth > 0) collectTree(display, children[i], depth - 1, out);
  }
}

std::optional<WindowId> findIn(Display* display, const std::string& title) {
  // Untitled windows read back as "", so an empty title would pick whichever
  // nameless window comes first (a tooltip, another program's helper).
  if (title.empty()) return std::nullopt;
  std::vector<Window> candidates = managedClients(display);
  if (candidates.empty()) collectTree(display, DefaultRootWindow(display), 1, &candidates);
  for (Window window : candidates) {
    if (windowTitle(display, window) == title) return static_cast<WindowId>(window);
  }
  return std::nullopt;
}

void activate(Display* display, Window window) {
  XMapRaised(display, window);
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 2;  // source: a pager-like tool acting for the user
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XSync(display, False);
}

}  // namespace

std::optional<WindowId> FindWindowByTitle(const std::string& title) {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return std::nullopt;
  ErrorHandlerScope errors;
  std::optional<WindowId> found = findIn(display.get(), title);
  XSync(display.get(), False);
  return found;
}

std::optional<WindowId> RaiseWindowByTitle(const std::string& title) {
  DisplayPtr display(XOpenDisplay(nullptr));
  if (!display) return std::nullopt;
  ErrorHandlerScope errors;
  std::optional<WindowId> found = findIn(display.get(), title);
  if (found) activate(display.get(), static_cast<Window>(*found));
  XSync(display.get(), False);
  return found;
}

}  // namespace platform

#include "platform/window_raise.h"

// GoogleTest comes before Xlib, whose None and Bool macros clash with it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "support/test_env.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

using platform::FindWindowByTitle;
using platform::RaiseWindowByTitle;
using test_env::ScopedEnv;

// A top-level window made by a client connection of the test itself.
class TestWindow {
 public:
  TestWindow(Display* display, const std::string& title, bool utf8Only) : display_(display) {
    window_ = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 200, 100, 0, 0, 0);
    if (utf8Only) {
      Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
      Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
      XChangeProperty(display, window_, netName, utf8, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    } else {
      XStoreName(display, window_, title.c_str());
    }
    // Managers only hand focus to windows that say they take input.
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XSetWMHints(display, window_, &hints);
    XSync(display, False);
  }
  ~TestWindow() {
    XDestroyWindow(display_, window_);
    XSync(display_, False);
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;
  Window id() const { return window_; }
  void Map() {
    XMapWindow(display_, window_);
    XSync(display_, False);
  }
  bool Viewable() const {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display_, window_, &attributes) && attributes.map_state == IsViewable;
  }

 private:
  Display* display_;
  Window window_;
};

std::string uniqueTitle(const char* base) {
  return std::string(base) + "-" + std::to_string(::getpid());
}

template <typename Pred>
bool waitFor(Pred pred) {
  for (int i = 0; i < 100; ++i) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(RaiseWindowByTitle, NoDisplayMeansNotFound) {
  {
    ScopedEnv noDisplay("DISPLAY", std::nullopt);
    EXPECT_FALSE(RaiseWindowByTitle("tarkel.shell"));
  }
  ScopedEnv deadDisplay("DISPLAY", ":4711");
  EXPECT_FALSE(RaiseWindowByTitle("tarkel.shell"));
}

class BareDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("DISPLAY") == nullptr)
      GTEST_SKIP() << "DISPLAY is not set; run under scripts/with-display.sh";
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) GTEST_SKIP() << "cannot open DISPLAY " << std::getenv("DISPLAY");
  }
  void TearDown() override {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  Display* display_ = nullptr;
};

TEST_F(BareDisplayTest, FindsOnlyTheExactTitleInEitherNameProperty) {
  std::string title = uniqueTitle("launch.teacher");
  TestWindow legacy(display_, title, /*utf8Only=*/false);
  std::string wideTitle = uniqueTitle("Lumora英语");
  TestWindow modern(display_, wideTitle, /*utf8Only=*/true);

  EXPECT_EQ(FindWindowByTitle(title), legacy.id());
  EXPECT_EQ(FindWindowByTitle(wideTitle), modern.id());
  EXPECT_FALSE(FindWindowByTitle(title.substr(0, title.size() - 1)));
  EXPECT_FALSE(FindWindowByTitle(title + "x"));
  EXPECT_FALSE(FindWindowByTitle(""));
}

TEST_F(BareDisplayTest, RaiseMapsAHiddenWindow) {
  std::string title = uniqueTitle("tarkel.shell");
  TestWindow window(display_, title, false);
  ASSERT_FALSE(window.Viewable());
  EXPECT_EQ(RaiseWindowByTitle(title), window.id());
  EXPECT_TRUE(waitFor([&] { return window.Viewable(); }));
}

// A private X server with a window manager, so that the client list and
// activation requests really go through a manager (the shared test display
// has none, and starting one there would disturb other tests).
class ManagedDisplay {
 public:
  ManagedDisplay() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    xvfb_ = ::fork();
    if (xvfb_ == 0) {
      ::close(fds[0]);
      std::string fd = std::to_string(fds[1]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0", "800x600x24",
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    // The server writes the number and the newline separately.
    std::string number;
    char c;
    while (::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (number.empty()) return;
    name_ = ":" + number;
    wm_ = ::fork();
    if (wm_ == 0) {
      ::setenv("DISPLAY", name_.c_str(), 1);
      ::execlp("openbox", "openbox", "--sm-disable", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    display_ = XOpenDisplay(name_.c_str());
    if (display_ == nullptr) return;
    // The manager announces itself before it handles map requests; it is
    // ready once a probe window shows up in its client list.
    Window probe = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 10, 10, 0, 0, 0);
    for (int attempt = 0; attempt < 50 && !ready_; ++attempt) {
      XUnmapWindow(display_, probe);
      XMapWindow(display_, probe);
      XSync(display_, False);
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      for (Window client : ClientList()) ready_ = ready_ || client == probe;
    }
    XDestroyWindow(display_, probe);
    XSync(display_, False);
  }
  ~ManagedDisplay() {
    if (display_ != nullptr) XCloseDisplay(display_);
    for (pid_t pid : {wm_, xvfb_}) {
      if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
      }
    }
  }
  ManagedDisplay(const ManagedDisplay&) = delete;
  ManagedDisplay& operator=(const ManagedDisplay&) = delete;
  bool ready() const { return ready_; }
  Display* display() const { return display_; }
  const std::string& name() const { return name_; }

  std::vector<Window> ClientList() const {
    Atom list = XInternAtom(display_, "_NET_CLIENT_LIST", False);
    Atom type;
    int format;
    unsigned long count = 0, after;
    unsigned char* data = nullptr;
    std::vector<Window> clients;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), list, 0, 1024, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        data != nullptr) {
      for (unsigned long i = 0; i < count; ++i) {
        long value;
        std::memcpy(&value, data + i * sizeof(long), sizeof value);
        clients.push_back(static_cast<Window>(value));
      }
    }
    if (data != nullptr) XFree(data);
    return clients;
  }

  Window ActiveWindow() const {
    Atom active = XInternAtom(display_, "_NET_ACTIVE_WINDOW", False);
    Atom type;
    int format;
    unsigned long count, after;
    unsigned char* data = nullptr;
    Window result = None;
    if (XGetWindowProperty(display_, DefaultRootWindow(display_), active, 0, 1, False, XA_WINDOW, &type,
                           &format, &count, &after, &data) == Success &&
        data != nullptr && count == 1) {
      long value;
      std::memcpy(&value, data, sizeof value);
      result = static_cast<Window>(value);
    }
    if (data != nullptr) XFree(data);
    return result;
  }

 private:
  pid_t xvfb_ = -1;
  pid_t wm_ = -1;
  std::string name_;
  Display* display_ = nullptr;
  bool ready_ = false;
};

bool haveProgram(const char* name) {
  std::string command = std::string("command -v ") + name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

TEST(RaiseWindowByTitleWithManager, ActivatesTheManagedWindowAboveAnother) {
  if (!haveProgram("Xvfb") || !haveProgram("openbox")) GTEST_SKIP() << "Xvfb or openbox is not installed";
  ManagedDisplay managed;
  ASSERT_TRUE(managed.ready()) << "window manager did not come up on a private Xvfb";
  std::string title = uniqueTitle("tarkel.shell");
  std::string otherTitle = uniqueTitle("other");
  TestWindow target(managed.display(), title, false);
  TestWindow other(managed.display(), otherTitle, false);
  target.Map();
  other.Map();

  ScopedEnv display("DISPLAY", managed.name());
  // Both lookups go through the manager's _NET_CLIENT_LIST; the frames it
  // puts around the clients must not hide their titles. Activating one and
  // then the other shows the request really moves the focus.
  ASSERT_TRUE(waitFor([&] { return RaiseWindowByTitle(otherTitle) == other.id(); }));
  ASSERT_TRUE(waitFor([&] { return managed.ActiveWindow() == other.id(); })) << managed.ActiveWindow();
  EXPECT_EQ(RaiseWindowByTitle(title), target.id());
  EXPECT_TRUE(waitFor([&] { return managed.ActiveWindow() == target.id(); })) << managed.ActiveWindow();
}

}  // namespace

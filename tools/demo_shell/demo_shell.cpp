// Demo client shell: stands in for the real client shell inside demo and
// test packages, installed as tarkel.shell.exe. It does what the launcher
// relies on a shell to do: hold the shell mutex while it runs, show a window
// titled "tarkel.shell", and set the started event "luanch.<mode>" once up.
// Mutex and event are the platform layer's, so they are per user: another
// user's launcher or shell is never seen.
//
// The launcher starts it with exactly one argument, so its own switches come
// from the environment:
//   DEMO_SHELL_RECORD=FILE   append one JSON line: arguments, working folder, pid
//   DEMO_SHELL_STAY_MS=N     stay up N ms (default 3000) before exiting
//   DEMO_SHELL_MODE=normal | never-signal | crash | late:N (set after N ms)
//   DEMO_SHELL_WINDOW=0      no window even when a display is there
//   DEMO_SHELL_LEAVE=NAME    leave a file NAME in the working folder (as a
//                            real shell leaves its state behind)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "platform/named_event.h"
#include "platform/named_mutex.h"

namespace {

constexpr char kShellName[] = "tarkel.shell";

std::string Env(const char* name, const char* fallback = "") {
  const char* value = std::getenv(name);
  return value ? value : fallback;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

void Record(int argc, char** argv) {
  std::string path = Env("DEMO_SHELL_RECORD");
  if (path.empty()) return;
  char cwd[4096] = "";
  if (!getcwd(cwd, sizeof cwd)) cwd[0] = '\0';
  std::string line = "{\"args\":[";
  for (int i = 1; i < argc; ++i) line += (i > 1 ? "," : "") + JsonString(argv[i]);
  line += "],\"cwd\":" + JsonString(cwd) + ",\"pid\":" + std::to_string(getpid()) + "}\n";
  if (FILE* f = std::fopen(path.c_str(), "a")) {
    std::fputs(line.c_str(), f);
    std::fclose(f);
  }
}

void LeaveFile(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) return;
  if (FILE* f = std::fopen(name.c_str(), "w")) {
    std::fputs("left by the shell\n", f);
    std::fclose(f);
  }
}

std::string RunMode(int argc, char** argv) {
  const std::string prefix = "--CliMode=";
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0) return argv[i] + prefix.size();
  }
  return "teacher";
}

// A plain window with the shell's title, so the launcher's "raise the
// running shell" path has something to find.
class ShellWindow {
 public:
  ShellWindow() {
    if (Env("DEMO_SHELL_WINDOW", "1") == "0") return;
    display_ = XOpenDisplay(nullptr);
    if (!display_) return;
    int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), 100, 100, 360, 120, 1,
                                  BlackPixel(display_, screen), WhitePixel(display_, screen));
    XStoreName(display_, window_, kShellName);
    Atom netName = XInternAtom(display_, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display_, "UTF8_STRING", False);
    XChangeProperty(display_, window_, netName, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(kShellName), sizeof kShellName - 1);
    XSelectInput(display_, window_, ExposureMask);
    XMapWindow(display_, window_);
    XFlush(display_);
  }
  ~ShellWindow() {
    if (display_) XCloseDisplay(display_);
  }
  void Pump() {
    if (!display_) return;
    while (XPending(display_)) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == Expose) {
        const char text[] = "demo client shell is running";
        XDrawString(display_, window_, DefaultGC(display_, DefaultScreen(display_)), 20, 60, text,
                    sizeof text - 1);
      }
    }
  }

 private:
  Display* display_ = nullptr;
  Window window_ = 0;
};

// The event is the launcher's: with no launcher of this user waiting there
// is nothing to set.
bool SetStartedEvent(const std::string& mode) {
  platform::NamedEvent event("luanch." + mode, platform::NamedEventMode::kOpen);
  if (event.valid() && event.Set()) return true;
  std::fprintf(stderr, "demo shell: no launcher of this user waits for luanch.%s\n", mode.c_str());
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
    std::puts("usage: tarkel.shell.exe --CliMode=MODE   (demo client shell; see DEMO_SHELL_* in the source)");
    return 0;
  }
  Record(argc, argv);
  LeaveFile(Env("DEMO_SHELL_LEAVE"));
  const std::string behaviour = Env("DEMO_SHELL_MODE", "normal");
  if (behaviour == "crash") std::abort();

  platform::NamedMutex mutex(std::string("Global\\") + kShellName);
  if (!mutex.held()) {
    std::fprintf(stderr, "demo shell: another shell is running\n");
    return 1;
  }
  ShellWindow window;
  const std::string mode = RunMode(argc, argv);
  long lateMs = behaviour.rfind("late:", 0) == 0 ? std::atol(behaviour.c_str() + 5) : 0;
  bool signaled = behaviour == "never-signal";
  if (behaviour == "normal") {
    SetStartedEvent(mode);
    signaled = true;
  }

  const auto start = std::chrono::steady_clock::now();
  const auto stay = std::chrono::milliseconds(std::atol(Env("DEMO_SHELL_STAY_MS", "3000").c_str()));
  while (std::chrono::steady_clock::now() - start < stay) {
    if (!signaled && std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(lateMs)) {
      SetStartedEvent(mode);
      signaled = true;
    }
    window.Pump();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return 0;
}

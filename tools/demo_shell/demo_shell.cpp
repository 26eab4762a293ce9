// Demo client shell: stands in for the real client shell inside demo and
// test packages, installed as tarkel.shell.exe. It does what the launcher
// relies on a shell to do: hold the shell mutex while it runs, show a window
// titled "tarkel.shell", and set the started event "luanch.<mode>" once up.
// Mutex and event are the platform layer's, so they are per user: another
// user's launcher or shell is never seen.
// Its window is a real client: a WebKitGTK view whose page talks to the
// shell through the render helper (TKInvoke, cefQuery, events, focus).
//
// The launcher starts it with exactly one argument, so its own switches come
// from the environment:
//   DEMO_SHELL_RECORD=FILE   append one JSON line: arguments, working folder, pid
//   DEMO_SHELL_STAY_MS=N     stay up N ms (default 3000) before exiting, and
//                            N ms after the window's page first talked to us
//   DEMO_SHELL_MODE=normal | never-signal | crash | late:N (set after N ms)
//   DEMO_SHELL_WINDOW=0      no window even when a display is there
//   DEMO_SHELL_LEAVE=NAME    leave a file NAME in the working folder (as a
//                            real shell leaves its state behind)
//   DEMO_SHELL_EXTENSIONS=DIR  the folder holding libquorrel-webkit.so
//                            (default: webkit/ beside the executable, else
//                            the build tree's)
//   DEMO_SHELL_STATUS=FILE   append the window's progress lines ("page
//                            talked to the shell after N ms", ...)
//   DEMO_SHELL_T0_NS=N       CLOCK_MONOTONIC at which the caller started us,
//                            so that those times include the process start
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "client_window.h"
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

// The version folder is the working folder the launcher starts us in.
std::string InstalledVersion() {
  char cwd[4096] = "";
  if (!getcwd(cwd, sizeof cwd)) return "unknown";
  const std::string folder = cwd;
  const size_t slash = folder.find_last_of('/');
  return slash == std::string::npos ? folder : folder.substr(slash + 1);
}

bool HasExtension(const std::string& folder) {
  struct stat info {};
  return stat((folder + "/libquorrel-webkit.so").c_str(), &info) == 0;
}

std::string ExtensionFolder(const char* argv0) {
  const std::string chosen = Env("DEMO_SHELL_EXTENSIONS");
  if (!chosen.empty()) return chosen;
  char self[4096] = "";
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  std::string beside = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string(argv0);
  beside = beside.substr(0, beside.find_last_of('/') + 1) + "webkit";
  if (HasExtension(beside)) return beside;
  if (HasExtension(QUORREL_WEBKIT_EXTENSION_DIR)) return QUORREL_WEBKIT_EXTENSION_DIR;
  std::fprintf(stderr, "demo shell: no render helper extension found; the page runs without it\n");
  return "";
}

// The window is a GTK one only when a display is there and wanted; tests
// of the launcher run without, and never pay for GTK.
std::unique_ptr<ClientWindow> OpenWindow(const char* argv0, int64_t startNs,
                                         std::function<void()> onPageTalked) {
  if (Env("DEMO_SHELL_WINDOW", "1") == "0" || !gtk_init_check(nullptr, nullptr)) return nullptr;
  ClientWindow::Options options;
  options.title = kShellName;
  options.extensionFolder = ExtensionFolder(argv0);
  options.version = InstalledVersion();
  options.statusPath = Env("DEMO_SHELL_STATUS");
  options.startNs = startNs;
  options.onPageTalked = std::move(onPageTalked);
  return std::make_unique<ClientWindow>(options);
}

// The event is the launcher's: with no launcher of this user waiting there
// is nothing to set.
bool SetStartedEvent(const std::string& mode) {
  platform::NamedEvent event("luanch." + mode, platform::NamedEventMode::kOpen);
  if (event.valid() && event.Set()) return true;
  std::fprintf(stderr, "demo shell: no launcher of this user waits for luanch.%s\n", mode.c_str());
  return false;
}

struct Run {
  std::chrono::steady_clock::time_point start;
  std::chrono::milliseconds stay;
  std::chrono::milliseconds late;
  std::string mode;
  bool signaled;
  std::chrono::steady_clock::time_point end = start + stay;

  // False once the stay is over.
  bool Tick() {
    const auto now = std::chrono::steady_clock::now();
    if (!signaled && now - start >= late) Signal();
    return now < end;
  }
  void StayOn() { end = std::max(end, std::chrono::steady_clock::now() + stay); }
  void Signal() {
    SetStartedEvent(mode);
    signaled = true;
  }
};

gboolean TickWindow(gpointer run) {
  if (static_cast<Run*>(run)->Tick()) return G_SOURCE_CONTINUE;
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string t0 = Env("DEMO_SHELL_T0_NS");
  const int64_t startNs = t0.empty() ? MonotonicNs() : std::atoll(t0.c_str());
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
  Run run{std::chrono::steady_clock::now(),
          std::chrono::milliseconds(std::atol(Env("DEMO_SHELL_STAY_MS", "3000").c_str())),
          std::chrono::milliseconds(behaviour.rfind("late:", 0) == 0 ? std::atol(behaviour.c_str() + 5) : 0),
          RunMode(argc, argv), behaviour == "never-signal"};
  // Up once the window is there (or there is none to wait for).
  std::unique_ptr<ClientWindow> window = OpenWindow(argv[0], startNs, [&run] { run.StayOn(); });
  if (behaviour == "normal") run.Signal();

  if (window) {
    g_timeout_add(20, TickWindow, &run);
    gtk_main();
    return 0;
  }
  while (run.Tick()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return 0;
}

#pragma once
// Helpers for driving the real launcher under an X server: child processes
// (gateway, launcher, the display's own programs), waiting on their logs,
// finding and clicking windows with xdotool.
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/xdotool_geometry.h"

namespace e2e {

// Failure texts as the window logs them with its status line; the comma is
// the full-width one of the texts themselves.
inline constexpr char kNetworkFailedText[] = "net error\xEF\xBC\x8Cplease check network and retry";
inline constexpr char kDownloadFailedText[] =
    "download files error\xEF\xBC\x8Cplease check network and retry";

// Output of a shell command (stdout only); empty on failure.
std::string Capture(const std::string& command);
bool ToolAvailable(const char* name);

// A child process that is killed (if still running) and reaped when this
// object goes.
class Child {
 public:
  Child() = default;
  // stderr (and stdout) go to logPath.
  bool Start(const std::vector<std::string>& argv, const std::string& logPath);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  // The exit code once the process ended within the time, else nothing.
  std::optional<int> WaitExit(std::chrono::milliseconds limit);
  bool Running();
  // Asks it to end (SIGTERM), kills it when it will not, and reaps it.
  void Stop();
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

std::string ReadFile(const std::string& path);
int CountOf(const std::string& text, const std::string& needle);
// Waits until the file holds needle at least `times` times.
bool WaitForText(const std::string& path, const std::string& needle, int times,
                 std::chrono::milliseconds limit);

using Geometry = test_env::WindowGeometry;
// The first top-level window whose title is exactly `title`.
std::optional<std::string> WaitForWindow(const std::string& title, std::chrono::milliseconds limit);
std::optional<Geometry> WindowGeometry(const std::string& windowId);
std::optional<Geometry> ScreenSize();

// Runs xdotool with `args`; true when it succeeded.
bool Xdo(const std::string& args);
void Click(int x, int y, int repeat = 1);

struct Rgb {
  int r = 0, g = 0, b = 0;
};
bool IsBarGreen(const Rgb& p);

}  // namespace e2e

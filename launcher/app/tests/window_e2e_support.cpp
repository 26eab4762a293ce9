#include "window_e2e_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/wait_until.h"

extern char** environ;

namespace e2e {

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

bool ToolAvailable(const char* name) {
  return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

bool Child::Start(const std::vector<std::string>& argv, const std::string& logPath) {
  std::vector<std::string> words = argv;
  std::vector<char*> args;
  for (auto& w : words) args.push_back(w.data());
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  const int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) pid_ = -1;
  return rc == 0;
}

Child::~Child() {
  Stop();
}

void Child::Stop() {
  if (pid_ > 0 && !exitCode_) {
    kill(pid_, SIGTERM);
    if (!WaitExit(std::chrono::milliseconds(3000))) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
}

std::optional<int> Child::WaitExit(std::chrono::milliseconds limit) {
  if (exitCode_ || pid_ <= 0) return exitCode_;
  const auto end = std::chrono::steady_clock::now() + limit;
  do {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      return exitCode_;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (std::chrono::steady_clock::now() < end);
  return std::nullopt;
}

bool Child::Running() {
  return pid_ > 0 && !WaitExit(std::chrono::milliseconds(0));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

int CountOf(const std::string& text, const std::string& needle) {
  int count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos;
       at = text.find(needle, at + needle.size()))
    ++count;
  return count;
}

bool WaitForText(const std::string& path, const std::string& needle, int times,
                 std::chrono::milliseconds limit) {
  return test_env::WaitUntil([&] { return CountOf(ReadFile(path), needle) >= times; }, limit,
                             std::chrono::milliseconds(30));
}

std::optional<std::string> WaitForWindow(const std::string& title, std::chrono::milliseconds limit) {
  std::string id;
  const bool found = test_env::WaitUntil(
      [&] {
        std::istringstream ids(Capture("xdotool search --onlyvisible --name '^" + title + "$' 2>/dev/null"));
        return static_cast<bool>(ids >> id);
      },
      limit, std::chrono::milliseconds(50));
  if (!found) return std::nullopt;
  return id;
}

std::optional<Geometry> WindowGeometry(const std::string& windowId) {
  return test_env::ParseXdotoolGeometry(
      Capture("xdotool getwindowgeometry --shell " + windowId + " 2>/dev/null"));
}

std::optional<Geometry> ScreenSize() {
  std::istringstream words(Capture("xdotool getdisplaygeometry 2>/dev/null"));
  Geometry g;
  if (!(words >> g.width >> g.height)) return std::nullopt;
  return g;
}

bool Xdo(const std::string& args) {
  return std::system(("xdotool " + args + " >/dev/null 2>&1").c_str()) == 0;
}

// No --sync: the server runs the move and the click in the order sent, and
// a synced move to where the pointer already is waits for a motion that
// never comes.
void Click(int x, int y, int repeat) {
  (void)Xdo("mousemove " + std::to_string(x) + " " + std::to_string(y) + " click --repeat " +
            std::to_string(repeat) + " --delay 80 1");
}

bool IsBarGreen(const Rgb& p) {
  return p.g > p.r + 40 && p.g > p.b + 40;
}

}  // namespace e2e

#include "worker_fixture.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "launcher/update_worker.h"

namespace worker_test {

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

namespace {

int RunCommand(const std::vector<std::string>& argv) {
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::optional<std::uint64_t> plentyOfDisk(const std::string&) {
  return 1ull << 40;
}

}  // namespace

void RecordingSink::PostLauncherMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  std::lock_guard<std::mutex> lock(mutex_);
  posted_.push_back({message, wParam, lParam});
  arrived_.notify_all();
}

std::vector<Posted> RecordingSink::Messages() {
  std::lock_guard<std::mutex> lock(mutex_);
  return posted_;
}

std::vector<Posted> RecordingSink::Reports() {
  std::vector<Posted> reports;
  for (const Posted& p : Messages())
    if (p.message != WM_LAUNCHER_PROGRESS) reports.push_back(p);
  return reports;
}

std::vector<int> RecordingSink::Progress() {
  std::vector<int> progress;
  for (const Posted& p : Messages())
    if (p.message == WM_LAUNCHER_PROGRESS) progress.push_back(static_cast<int>(p.wParam));
  return progress;
}

bool RecordingSink::WaitForReport(int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
    for (const Posted& p : posted_)
      if (p.message != WM_LAUNCHER_PROGRESS) return true;
    return false;
  });
}

DemoGateway::DemoGateway(const fs::path& workDir, std::vector<std::string> args) {
  fs::path ready = workDir / "gateway-ready.json";
  log_ = workDir / "gateway-requests.jsonl";
  fs::remove(ready);
  fs::remove(log_);
  std::vector<std::string> argv = {"python3",         DEMO_GATEWAY_SCRIPT,
                                   "--primary-port",  TEST_PRIMARY_PORT,
                                   "--fallback-port", TEST_FALLBACK_PORT,
                                   "--ready-file",    ready.string(),
                                   "--request-log",   log_.string(),
                                   "--cert-dir",      workDir.string(),
                                   "--hang-seconds",  "8"};
  argv.insert(argv.end(), args.begin(), args.end());
  pid_ = fork();
  if (pid_ == 0) {
    // Never outlive a test process that dies before its destructor runs.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    std::vector<char*> raw;
    for (const std::string& a : argv) raw.push_back(const_cast<char*>(a.c_str()));
    raw.push_back(nullptr);
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, STDOUT_FILENO);
    execvp(raw[0], raw.data());
    _exit(127);
  }
  // Generous: a loaded CI machine may take seconds to start Python.
  for (int i = 0; i < 1500 && !fs::exists(ready); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::string text = ReadFile(ready);
  auto at = text.find("\"md5\": \"");
  if (at != std::string::npos) md5_ = text.substr(at + 8, text.find('"', at + 8) - at - 8);
  EXPECT_FALSE(text.empty()) << "demo gateway did not come up";
}

DemoGateway::~DemoGateway() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
}

std::vector<std::string> DemoGateway::Requests() {
  std::vector<std::string> requests;
  std::istringstream lines(ReadFile(log_));
  for (std::string line; std::getline(lines, line);) {
    auto field = [&line](const char* name) {
      std::string key = std::string("\"") + name + "\": \"";
      auto at = line.find(key);
      if (at == std::string::npos) return std::string();
      at += key.size();
      return line.substr(at, line.find('"', at) - at);
    };
    requests.push_back(field("base") + " " + field("path"));
  }
  return requests;
}

std::vector<std::string> DemoGateway::PackageRequests() {
  std::vector<std::string> packages;
  for (const std::string& r : Requests())
    if (r.find(" /pkg/") != std::string::npos || r.find(" /redirect/") != std::string::npos)
      packages.push_back(r.substr(r.find(' ') + 1));
  return packages;
}

void WorkerTest::SetUp() {
  id_ = std::to_string(getpid()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  root_ = fs::temp_directory_path() / ("worker-test-" + id_);
  fs::remove_all(root_);
  dataHome_ = root_ / "data";
  fs::create_directories(dataHome_);
  fs::create_directories(root_ / "run");
  // A runtime folder counts only when it is private, as a session makes it.
  fs::permissions(root_ / "run", fs::perms::owner_all);
  setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
  setenv("DEMO_SHELL_RECORD", (root_ / "shell-record.json").c_str(), 1);
  // The shell sets its event and leaves at once, so the next run's shell
  // never finds the shell mutex still taken.
  setenv("DEMO_SHELL_STAY_MS", "0", 1);
  setenv("DEMO_SHELL_WINDOW", "0", 1);
  setenv("DEMO_SHELL_MODE", "normal", 1);
  sink_ = std::make_shared<RecordingSink>();
}

void WorkerTest::TearDown() {
  fs::remove_all(root_);
  if (dataHome_ != root_ / "data") fs::remove_all(dataHome_);
}

void WorkerTest::UseTmpfsDataFolder() {
  dataHome_ = fs::path("/dev/shm") / ("worker-test-" + id_);
  fs::remove_all(dataHome_);
  fs::create_directories(dataHome_);
  setenv("XDG_DATA_HOME", dataHome_.c_str(), 1);
}

fs::path WorkerTest::BuildPackage(const std::map<std::string, std::string>& files,
                                  const std::string& damage) {
  fs::path folder = root_ / "package-src";
  fs::remove_all(folder);
  fs::create_directories(folder);
  fs::copy_file(DEMO_SHELL_PATH, folder / "tarkel.shell.exe");
  for (const auto& [name, content] : files) {
    fs::create_directories((folder / name).parent_path());
    std::ofstream(folder / name, std::ios::binary) << content;
  }
  EXPECT_EQ(RunCommand({MKMANIFEST_PATH, "--all", folder.string()}), 0);
  if (!damage.empty()) std::ofstream(folder / damage, std::ios::app) << "damaged after the manifest";
  fs::path package = root_ / "package.zip";
  EXPECT_EQ(
      RunCommand({"python3", PACKAGE_BUILDER_SCRIPT, "--keep-manifest", folder.string(), package.string()}),
      0);
  return package;
}

std::wstring WorkerTest::RunMode() const {
  std::string mode = "teacher" + id_;
  return std::wstring(mode.begin(), mode.end());
}

std::vector<Posted> WorkerTest::RunWorker(
    std::function<std::optional<std::uint64_t>(const std::string&)> freeBytes) {
  if (!freeBytes) freeBytes = plentyOfDisk;
  UpdateThreadProc(WorkerSetup{L"tarkel.shell", RunMode(), sink_, freeBytes});
  return sink_->Reports();
}

pid_t WorkerTest::ForkWorker() {
  const pid_t child = fork();
  if (child == 0) {
    UpdateThreadProc(
        WorkerSetup{L"tarkel.shell", RunMode(), std::make_shared<RecordingSink>(), plentyOfDisk});
    _exit(0);
  }
  return child;
}

std::string WorkerTest::ShellRecord() {
  fs::path record = root_ / "shell-record.json";
  for (int i = 0; i < 100 && !fs::exists(record); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return ReadFile(record);
}

void ExpectSingleReport(const std::vector<Posted>& reports, unsigned message, std::uintptr_t wParam,
                        std::intptr_t lParam) {
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].message, message);
  EXPECT_EQ(reports[0].wParam, wParam);
  EXPECT_EQ(reports[0].lParam, lParam);
}

}  // namespace worker_test

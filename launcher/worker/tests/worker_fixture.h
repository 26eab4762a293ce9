#pragma once
// Shared pieces of the worker tests: a message recorder, a demo gateway run
// as a real HTTPS server on the test build's compiled-in ports, demo
// packages built with the real package builder around the demo shell, and
// a private data folder per test.
#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "launcher/launcher_messages.h"

namespace worker_test {

namespace fs = std::filesystem;

struct Posted {
  unsigned message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};

// Thread-safe: the worker posts from its own thread.
class RecordingSink : public LauncherMessageSink {
 public:
  void PostLauncherMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) override;
  std::vector<Posted> Messages();
  // The posted messages other than progress, which is what a run reports.
  std::vector<Posted> Reports();
  std::vector<int> Progress();
  // Waits until a report arrives (for runs on another thread).
  bool WaitForReport(int timeoutMs);

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Posted> posted_;
};

class DemoGateway {
 public:
  // args are demo_gateway.py switches; ports are the test build's.
  explicit DemoGateway(const fs::path& workDir, std::vector<std::string> args);
  ~DemoGateway();
  // Every request the gateway saw, as "base path" strings in order.
  std::vector<std::string> Requests();
  std::vector<std::string> PackageRequests();  // only /pkg and /redirect paths
  std::string Md5() const { return md5_; }

 private:
  int pid_ = -1;
  fs::path log_;
  std::string md5_;
};

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Builds a package of the demo shell plus `files` (name -> content). When
  // `damage` names a file, it is changed after the manifest was written.
  fs::path BuildPackage(const std::map<std::string, std::string>& files = {}, const std::string& damage = "");
  // Runs one worker on this thread and returns the reports it posted.
  std::vector<Posted> RunWorker(
      std::function<std::optional<std::uint64_t>(const std::string&)> freeBytes = {});
  // Starts one worker, with plenty of disk, in a child process a test can
  // kill at the moment it chooses; the child's pid.
  pid_t ForkWorker();
  std::wstring RunMode() const;
  fs::path DataFolder() const { return dataHome_ / "tarkel.shell"; }
  // Moves the data folder to a tmpfs (/dev/shm), which lists a folder's
  // newest entries first: the order a delete walks is then known.
  void UseTmpfsDataFolder();
  fs::path VersionFolder(const std::string& version = "1.0.0") const {
    return DataFolder() / "bin" / version;
  }
  std::string ShellRecord();

  fs::path root_;
  fs::path dataHome_;
  std::string id_;
  std::shared_ptr<RecordingSink> sink_;
};

// The whole content of a file; empty when it cannot be read.
std::string ReadFile(const fs::path& path);

void ExpectSingleReport(const std::vector<Posted>& reports, unsigned message, std::uintptr_t wParam,
                        std::intptr_t lParam = 0);

}  // namespace worker_test

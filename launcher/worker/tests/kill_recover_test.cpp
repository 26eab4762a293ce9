// A launcher killed at any point of a download or an unpack must never leave
// a version folder that passes the check while it is incomplete, and the
// next run must always end with a verified install and a started shell.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <thread>

#include "launcher/manifest/manifest_check.h"
#include "launcher/update_worker.h"
#include "worker_fixture.h"

namespace worker_test {
namespace {

// KILL_ROUNDS raises the count for soak runs (see soak/kill_recover_soak.sh).
int Rounds() {
  const char* rounds = std::getenv("KILL_ROUNDS");
  return rounds ? std::max(1, std::atoi(rounds)) : 20;
}

std::map<std::string, std::string> IncompressibleFiles(int count, std::size_t size) {
  std::mt19937 random(7);
  std::map<std::string, std::string> files;
  for (int i = 0; i < count; ++i) {
    std::string content(size, '\0');
    for (char& c : content) c = static_cast<char>(random());
    files["lessons/unit" + std::to_string(i) + ".dat"] = content;
  }
  return files;
}

TEST_F(WorkerTest, KilledAtRandomPointsTheNextRunAlwaysEndsInstalledAndStarted) {
  // About 4 MB trickled at 16 MB/s: the download and the unpack each take a
  // visible slice of a run, so random kill times land in both.
  fs::path package = BuildPackage(IncompressibleFiles(32, 128 * 1024));
  DemoGateway gateway(root_, {"--package", package.string(), "--slow-route", "a", "--slow-rate",
                              std::to_string(16 * 1024 * 1024)});
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> killAfterMs(0, 450);
  const int rounds = Rounds();
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    fs::remove_all(VersionFolder());
    const pid_t child = ForkWorker();
    ASSERT_GE(child, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs(random)));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);

    // Whatever the kill left: a folder that exists is complete.
    if (fs::exists(VersionFolder())) {
      EXPECT_TRUE(fs::exists(VersionFolder() / "md5.json"));
      EXPECT_EQ(CheckInstalledFiles(VersionFolder().wstring(), L"tarkel.shell"), CROk);
    }
    sink_ = std::make_shared<RecordingSink>();
    ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
    EXPECT_EQ(CheckInstalledFiles(VersionFolder().wstring(), L"tarkel.shell"), CROk);
  }
}

}  // namespace
}  // namespace worker_test

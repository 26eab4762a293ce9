// Soak of the update road: round after round, one randomly chosen failure
// is thrown at a run of the worker against the demo gateway, then a clean
// run must end with a complete install (every file of the package in
// place), a started shell and no leftovers of a killed delete. Nothing may
// be written outside the data folder. The repair road is part of it: a
// damaged install to repair, and kills while a repair or a reset deletes.
// The data folder is on a tmpfs, which deletes a folder's newest entry (the
// rewritten manifest) first: the worst order for a killed delete. Not part
// of CTest: run it through scripts/soak-update.sh (SOAK_ROUNDS, SOAK_SEED).
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "../tests/worker_fixture.h"
#include "launcher/data_folder.h"
#include "launcher/manifest/manifest_check.h"
#include "launcher/update_worker.h"

namespace worker_test {
namespace {

enum class Fault {
  Refusal,
  Timeout,
  SlowTransfer,
  BadMd5,
  CorruptZip,
  Kill,
  SilentShell,
  DamagedInstall,    // an installed version with a changed file: the run repairs it
  KillDuringRepair,  // the same, killed while the damaged folder is deleted
  KillDuringReset,   // FixDirApp killed while it deletes an installed version
  kCount
};

const char* Name(Fault fault) {
  static const char* names[] = {
      "refusal",      "time-out",        "slow transfer",      "bad MD5",          "corrupt zip", "kill",
      "silent shell", "damaged install", "kill during repair", "kill during reset"};
  return names[static_cast<int>(fault)];
}

bool IsRepairFault(Fault fault) {
  return fault >= Fault::DamagedInstall;
}

int EnvInt(const char* name, int fallback) {
  const char* text = std::getenv(name);
  return text ? std::atoi(text) : fallback;
}

// Every path under root that is not inside the data folder, so a round can
// prove the worker wrote nowhere else. The runtime folder holds the named
// mutexes and events the launcher and the shell share, which is its job.
std::set<std::string> OutsideData(const fs::path& root, const fs::path& data) {
  std::set<std::string> paths;
  for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
    if (it->path() == data || it->path() == root / "run") {
      it.disable_recursion_pending();
      continue;
    }
    paths.insert(fs::relative(it->path(), root).string());
  }
  return paths;
}

// What the gateway and the demo shell of this harness write next to the data.
bool HarnessFile(const std::string& path) {
  static const std::set<std::string> names = {"gateway-ready.json", "gateway-requests.jsonl",
                                              "shell-record.json", "gateway.crt", "gateway.key"};
  return names.count(path) > 0;
}

class UpdateSoak : public WorkerTest {
 protected:
  // A package whose middle bytes are flipped: the reply's MD5 is that of
  // the damaged file, so only the unpack can notice.
  fs::path CorruptCopy(const fs::path& package) {
    fs::path copy = root_ / "corrupt.zip";
    fs::copy_file(package, copy, fs::copy_options::overwrite_existing);
    std::fstream file(copy, std::ios::in | std::ios::out | std::ios::binary);
    const auto size = static_cast<std::streamoff>(fs::file_size(copy));
    for (std::streamoff at = size / 3; at < size / 3 + 64 && at < size; ++at) {
      file.seekg(at);
      char c = 0;
      file.get(c);
      file.seekp(at);
      file.put(static_cast<char>(c ^ 0x5a));
    }
    return copy;
  }

  void RunWorkerInThisProcess() {
    UpdateThreadProc(
        WorkerSetup{L"tarkel.shell", RunMode(), std::make_shared<RecordingSink>(),
                    [](const std::string&) { return std::optional<std::uint64_t>(1ull << 40); }});
  }

  // Runs the worker in a child process and kills it after a random delay.
  void RunAndKill(int afterMs) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      RunWorkerInThisProcess();
      _exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(afterMs));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }

  // Runs body in a child process and kills it as soon as `deletions`
  // entries of the watched folders are gone: a kill in the middle of a
  // delete, wherever the deleted folder has been renamed to meanwhile.
  void RunAndKillAfterDeletions(const std::function<void()>& body, const std::vector<fs::path>& watched,
                                int deletions) {
    const int watch = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    for (const fs::path& folder : watched) ASSERT_GE(inotify_add_watch(watch, folder.c_str(), IN_DELETE), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      body();
      _exit(0);
    }
    alignas(inotify_event) char buffer[4096];
    pollfd waiting{watch, POLLIN, 0};
    for (int seen = 0; seen < deletions && poll(&waiting, 1, 30000) == 1;) {
      const ssize_t got = read(watch, buffer, sizeof buffer);
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->mask & IN_DELETE) ++seen;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(watch);
  }

  // Installs the version, then damages one of its files (unless `damage` is
  // false) and rewrites its manifest, so that a tmpfs deletes it first.
  void InstallAndDamage(const std::string& version, bool damage) {
    ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
    sink_ = std::make_shared<RecordingSink>();
    const fs::path folder = VersionFolder(version);
    if (damage) std::ofstream(folder / "lessons/unit3.dat", std::ios::app) << "damage";
    const std::string manifest = ReadFile(folder / "md5.json");
    fs::remove(folder / "md5.json");
    std::ofstream(folder / "md5.json", std::ios::binary) << manifest;
  }

  void ExpectComplete(const std::string& version, const std::map<std::string, std::string>& files) {
    const fs::path folder = VersionFolder(version);
    EXPECT_EQ(CheckInstalledFiles(folder.wstring(), L"tarkel.shell"), CROk);
    EXPECT_TRUE(fs::exists(folder / "md5.json"));
    int missing = 0;
    for (const auto& [name, content] : files) missing += ReadFile(folder / name) != content ? 1 : 0;
    EXPECT_EQ(missing, 0) << "files missing or different in " << folder;
    for (const fs::path& place : {DataFolder(), DataFolder() / "bin"}) {
      for (const auto& entry : fs::directory_iterator(place))
        EXPECT_NE(entry.path().filename().string().rfind(".deleting-", 0), 0u) << "leftover " << entry.path();
    }
  }
};

std::map<std::string, std::string> Lessons(std::mt19937& random, int count, std::size_t size) {
  std::map<std::string, std::string> files;
  for (int i = 0; i < count; ++i) {
    std::string content(size, '\0');
    for (char& c : content) c = static_cast<char>(random() % 16 + 'a');  // compressible, like lessons
    files["lessons/unit" + std::to_string(i) + ".dat"] = content;
  }
  return files;
}

TEST_F(UpdateSoak, EveryFailureIsFollowedByACleanInstallAndStart) {
  const int rounds = std::max(1, EnvInt("SOAK_ROUNDS", 200));
  const unsigned seed = static_cast<unsigned>(EnvInt("SOAK_SEED", static_cast<int>(time(nullptr))));
  std::printf("soak: %d rounds, seed %u\n", rounds, seed);
  std::mt19937 random(seed);
  UseTmpfsDataFolder();
  const std::map<std::string, std::string> lessons = Lessons(random, 24, 96 * 1024);
  fs::path package = BuildPackage(lessons);
  fs::path corrupt = CorruptCopy(package);
  const std::set<std::string> before = OutsideData(root_, root_ / "data");
  int counts[static_cast<int>(Fault::kCount)] = {};
  int recovered = 0;
  for (int round = 0; round < rounds; ++round) {
    const Fault fault = static_cast<Fault>(random() % static_cast<int>(Fault::kCount));
    ++counts[static_cast<int>(fault)];
    // A new version each round, so every round has to download and unpack.
    const std::string version = "1." + std::to_string(round) + ".0";
    // Every failed expectation adds a part to the result: none added, the
    // round recovered cleanly.
    const int partsBefore =
        ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
    SCOPED_TRACE("round " + std::to_string(round) + ", " + Name(fault) + ", seed " + std::to_string(seed));
    std::vector<std::string> args = {"--version", version, "--package", package.string()};
    std::vector<Posted> reports;
    sink_ = std::make_shared<RecordingSink>();
    {
      switch (fault) {
        case Fault::Refusal:
          args.insert(args.end(), {"--primary-mode", "refuse", "--fallback-mode", "refuse"});
          break;
        case Fault::Timeout:
          args.insert(args.end(), {"--primary-mode", "timeout"});
          break;
        case Fault::SlowTransfer:
          args.insert(args.end(), {"--slow-route", "a", "--slow-rate", "262144"});
          break;
        case Fault::BadMd5:
          args.insert(args.end(), {"--bad-md5-route", "a"});
          break;
        case Fault::CorruptZip:
          args[3] = corrupt.string();
          break;
        default:
          break;
      }
      if (fault == Fault::SilentShell) setenv("DEMO_SHELL_MODE", "never-signal", 1);
      DemoGateway gateway(root_, args);
      const std::vector<fs::path> watched = {VersionFolder(version), VersionFolder(version) / "lessons"};
      // Deletions in the two folders: the lessons, the lessons folder, the
      // manifest and the shell.
      const int kill = 1 + static_cast<int>(random() % (lessons.size() + 3));
      if (IsRepairFault(fault)) InstallAndDamage(version, fault != Fault::KillDuringReset);
      if (fault == Fault::Kill) {
        RunAndKill(static_cast<int>(random() % 600));
      } else if (fault == Fault::KillDuringRepair) {
        RunAndKillAfterDeletions([this] { RunWorkerInThisProcess(); }, watched, kill);
      } else if (fault == Fault::KillDuringReset) {
        RunAndKillAfterDeletions([] { FixDirApp(L"tarkel.shell"); }, watched, kill);
      } else {
        reports = RunWorker();
        ASSERT_EQ(reports.size(), 1u) << "a run must report exactly once";
      }
      setenv("DEMO_SHELL_MODE", "normal", 1);
    }
    switch (fault) {
      case Fault::Refusal:
        ExpectSingleReport(reports, WM_LAUNCHER_FAILED, FailNetwork);
        break;
      case Fault::BadMd5:
        ExpectSingleReport(reports, WM_LAUNCHER_FAILED, FailDownload);
        break;
      case Fault::CorruptZip:
        EXPECT_EQ(reports[0].message, WM_LAUNCHER_FAILED);
        EXPECT_TRUE(reports[0].wParam == FailUnzip || reports[0].wParam == FailFileCheck)
            << reports[0].wParam;
        break;
      case Fault::SilentShell:
        ExpectSingleReport(reports, WM_LAUNCHER_FAILED, FailLaunch);
        break;
      case Fault::Timeout:
      case Fault::SlowTransfer:
        ExpectSingleReport(reports, WM_LAUNCHER_LAUNCHED, 0);
        break;
      case Fault::DamagedInstall:
        ExpectSingleReport(reports, WM_LAUNCHER_LAUNCHED, 0);
        ExpectComplete(version, lessons);
        break;
      case Fault::KillDuringRepair:
      case Fault::KillDuringReset:
        // Whatever the kill left: the folder is whole, as it was before the
        // delete began (damage and all), or gone.
        if (fs::exists(VersionFolder(version))) {
          EXPECT_EQ(CheckInstalledFiles(VersionFolder(version).wstring(), L"tarkel.shell"),
                    fault == Fault::KillDuringRepair ? CRMd5Dismatch : CROk);
        }
        break;
      default:
        // Whatever the kill left: a folder that exists is complete.
        if (fs::exists(VersionFolder(version))) {
          EXPECT_EQ(CheckInstalledFiles(VersionFolder(version).wstring(), L"tarkel.shell"), CROk);
        }
        break;
    }

    sink_ = std::make_shared<RecordingSink>();
    {
      DemoGateway gateway(root_, {"--version", version, "--package", package.string()});
      ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
    }
    ExpectComplete(version, lessons);
    std::set<std::string> after = OutsideData(root_, root_ / "data");
    std::vector<std::string> stray;
    for (const std::string& path : after)
      if (!before.count(path) && !HarnessFile(path)) stray.push_back(path);
    EXPECT_TRUE(stray.empty()) << "written outside the data folder: " << ::testing::PrintToString(stray);
    // Older versions would only fill the disk; the data folder is the worker's.
    if (round > 0) fs::remove_all(VersionFolder("1." + std::to_string(round - 1) + ".0"));
    if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() ==
        partsBefore) {
      ++recovered;
    }
    if (HasFatalFailure()) break;
    if ((round + 1) % 10 == 0 || round + 1 == rounds) std::printf("soak: %d rounds done\n", round + 1);
    std::fflush(stdout);
  }
  std::printf("soak: faults injected:");
  for (int f = 0; f < static_cast<int>(Fault::kCount); ++f)
    std::printf(" %s %d,", Name(static_cast<Fault>(f)), counts[f]);
  std::printf(" rounds recovered cleanly %d of %d\n", recovered, rounds);
}

}  // namespace
}  // namespace worker_test

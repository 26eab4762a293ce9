// The repair road against the real gateway and real packages: a repair
// killed while it deletes, hidden files in the way of a repair, a package
// zipped on Windows, and links planted where the package is written.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "launcher/data_folder.h"
#include "launcher/manifest/manifest_check.h"
#include "launcher/update_worker.h"
#include "worker_fixture.h"

namespace worker_test {
namespace {

std::map<std::string, std::string> Lessons(int count) {
  std::map<std::string, std::string> files;
  for (int i = 0; i < count; ++i)
    files["lessons/unit" + std::to_string(i) + ".dat"] = std::string(512, 'a' + i % 26);
  return files;
}

// Every file of the package is in the version folder, as packed.
void ExpectComplete(const fs::path& folder, const std::map<std::string, std::string>& files) {
  for (const auto& [name, content] : files) EXPECT_EQ(ReadFile(folder / name), content) << name;
  EXPECT_TRUE(fs::exists(folder / "tarkel.shell.exe"));
  EXPECT_TRUE(fs::exists(folder / "md5.json"));
}

std::vector<std::string> DiscardLeftovers(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().filename().string().rfind(".deleting-", 0) == 0) names.push_back(entry.path().string());
  return names;
}

// Waits for inotify to report that `name` was deleted; false after limitMs.
bool WaitForDeletion(int watch, const std::string& name, int limitMs) {
  alignas(inotify_event) char buffer[4096];
  pollfd waiting{watch, POLLIN, 0};
  while (::poll(&waiting, 1, limitMs) == 1) {
    const ssize_t got = ::read(watch, buffer, sizeof buffer);
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if ((event->mask & IN_DELETE) && event->len > 0 && name == event->name) return true;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return false;
}

// A repair deletes the damaged folder before it unpacks the package again.
// Killed at the moment the manifest goes (the first name a tmpfs deletes
// once the manifest is its newest entry; the lessons, then the shell, come
// after it), it must leave the folder whole or gone, never one without its
// manifest that passes the check with files missing; and the next run must
// end with every file in place.
TEST_F(WorkerTest, ARepairKilledWhileDeletingTheDamagedFolderLeavesItWholeOrGone) {
  UseTmpfsDataFolder();
  const std::map<std::string, std::string> files = Lessons(1500);
  fs::path package = BuildPackage(files);
  DemoGateway gateway(root_, {"--package", package.string()});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);

  std::ofstream(VersionFolder() / "lessons/unit7.dat", std::ios::app) << "damage";
  const std::string manifest = ReadFile(VersionFolder() / "md5.json");
  fs::remove(VersionFolder() / "md5.json");
  std::ofstream(VersionFolder() / "md5.json", std::ios::binary) << manifest;
  const int watch = inotify_init1(IN_CLOEXEC);
  ASSERT_GE(inotify_add_watch(watch, VersionFolder().c_str(), IN_DELETE), 0);
  const pid_t child = ForkWorker();
  ASSERT_GE(child, 0);
  const bool deleted = WaitForDeletion(watch, "md5.json", 60000);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  close(watch);
  ASSERT_TRUE(deleted) << "the repair never deleted the manifest";

  if (fs::exists(VersionFolder())) {
    EXPECT_EQ(CheckInstalledFiles(VersionFolder().wstring(), L"tarkel.shell"), CRMd5Dismatch)
        << "a half-deleted folder passes the check";
  }
  sink_ = std::make_shared<RecordingSink>();
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
  ExpectComplete(VersionFolder(), files);
  EXPECT_EQ(DiscardLeftovers(DataFolder() / "bin"), std::vector<std::string>{});
}

// A hidden file shipped in the package and one the shell leaves in its
// working folder must not stop a repair, nor the reset behind "fix it".
TEST_F(WorkerTest, HiddenFilesFromThePackageOrTheShellNeverBlockARepair) {
  const std::map<std::string, std::string> files = {{"lessons/unit.dat", "lesson"}, {"lessons/.keep", ""}};
  fs::path package = BuildPackage(files);
  setenv("DEMO_SHELL_LEAVE", ".shell-state", 1);
  DemoGateway gateway(root_, {"--package", package.string()});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
  ShellRecord();
  unsetenv("DEMO_SHELL_LEAVE");
  ASSERT_TRUE(fs::exists(VersionFolder() / ".shell-state"));

  std::ofstream(VersionFolder() / "lessons/unit.dat", std::ios::app) << "damage";
  sink_ = std::make_shared<RecordingSink>();
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
  ExpectComplete(VersionFolder(), files);

  FixDirApp(L"tarkel.shell");
  EXPECT_FALSE(fs::exists(DataFolder() / "bin"));
  sink_ = std::make_shared<RecordingSink>();
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
}

// The same package as the builder makes, zipped the way Windows tools do:
// no Unix attributes at all, so no execute bits are recorded.
TEST_F(WorkerTest, APackageZippedOnWindowsStarts) {
  BuildPackage({{"lessons/unit.dat", "lesson"}});
  const fs::path windowsZip = root_ / "windows.zip";
  const std::string script =
      "import os, sys, zipfile\n"
      "src, out = sys.argv[1], sys.argv[2]\n"
      "with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:\n"
      "    for root, dirs, files in os.walk(src):\n"
      "        for name in sorted(files):\n"
      "            path = os.path.join(root, name)\n"
      "            info = zipfile.ZipInfo(os.path.relpath(path, src), (2020, 6, 15, 12, 30, 0))\n"
      "            info.create_system = 0\n"
      "            info.external_attr = 0x20\n"
      "            info.compress_type = zipfile.ZIP_DEFLATED\n"
      "            z.writestr(info, open(path, 'rb').read())\n";
  ASSERT_EQ(std::system(("python3 -c \"" + script + "\" " + (root_ / "package-src").string() + " " +
                         windowsZip.string())
                            .c_str()),
            0);
  DemoGateway gateway(root_, {"--package", windowsZip.string()});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
}

// Links planted where the package is downloaded (bin/Temp) and unpacked
// (the staging folder) must not send a byte outside the data folder.
TEST_F(WorkerTest, LinksPlantedWhereThePackageGoesNeverSendItOutside) {
  fs::path package = BuildPackage();
  const fs::path outsideTemp = root_ / "outside-temp";
  const fs::path outsideStaging = root_ / "outside-staging";
  fs::create_directories(outsideTemp);
  fs::create_directories(outsideStaging);
  fs::create_directories(DataFolder() / "bin");
  fs::create_directory_symlink(outsideTemp, DataFolder() / "bin" / "Temp");
  fs::create_directory_symlink(outsideStaging, DataFolder() / "bin" / "1.0.0.unpacking");
  DemoGateway gateway(root_, {"--package", package.string()});
  ExpectSingleReport(RunWorker(), WM_LAUNCHER_LAUNCHED, 0);
  EXPECT_TRUE(fs::is_empty(outsideTemp));
  EXPECT_TRUE(fs::is_empty(outsideStaging));
  EXPECT_FALSE(fs::is_symlink(DataFolder() / "bin" / "Temp"));
  EXPECT_FALSE(fs::is_symlink(VersionFolder()));
}

}  // namespace
}  // namespace worker_test

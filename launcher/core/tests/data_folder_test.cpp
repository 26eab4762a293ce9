#include "launcher/data_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "launcher/file_util.h"
#include "launcher/string_util.h"
#include "support/test_env.h"

namespace {

using test_env::Exists;
using test_env::MakeDir;
using test_env::ReadFile;
using test_env::ScopedEnv;
using test_env::TempDir;
using test_env::WriteFile;

class DataFolderTest : public ::testing::Test {
 protected:
  TempDir local_;
  ScopedEnv xdg_{"XDG_DATA_HOME", local_.path()};
  std::string app_ = local_ / "tarkel.shell";

  // A data folder as the shell and earlier downloads leave it.
  void Populate() {
    MakeDir(app_);
    WriteFile(app_ + "/Config.ini", "ini");
    WriteFile(app_ + "/config.json", "{}");
    MakeDir(app_ + "/userdata");
    MakeDir(app_ + "/userdata/profiles");
    WriteFile(app_ + "/userdata/profiles/pupil.db", "db");
    MakeDir(app_ + "/bin");
    MakeDir(app_ + "/bin/1.0.0");
    WriteFile(app_ + "/bin/1.0.0/tarkel.shell", "exe");
    MakeDir(app_ + "/bin/Temp");
    WriteFile(app_ + "/bin/Temp/1.0.0.zip", "zip");
    WriteFile(app_ + "/cache.bin", "c");
  }
};

TEST_F(DataFolderTest, LayoutUnderLocalAppData) {
  EXPECT_EQ(ClientDataFolder(), Utf8ToWide(app_));
  EXPECT_EQ(VersionFolder(L"2.3.1"), Utf8ToWide(app_ + "/bin/2.3.1"));
  EXPECT_EQ(PackageFolder(), Utf8ToWide(app_ + "/bin/Temp"));
  EXPECT_EQ(PackagePath(L"2.3.1"), Utf8ToWide(app_ + "/bin/Temp/2.3.1.zip"));
}

TEST_F(DataFolderTest, NamesThatWouldLeaveTheirFolderGiveNothing) {
  for (const std::wstring& version :
       {std::wstring(L""), std::wstring(L"."), std::wstring(L".."), std::wstring(L"../../x"),
        std::wstring(L"a/b"), std::wstring(L"a\\b"), std::wstring(L"a\0b", 3), std::wstring(300, L'v')}) {
    EXPECT_FALSE(VersionFolder(version)) << WideToUtf8(version);
    EXPECT_FALSE(PackagePath(version)) << WideToUtf8(version);
  }
  EXPECT_FALSE(ClientDataFolder(L".."));
  EXPECT_TRUE(VersionFolder(L"1.0.0-beta..2"));  // dots inside a name are fine
}

TEST_F(DataFolderTest, FixDirAppKeepsTheShellItemsAndRemovesEverythingElse) {
  Populate();
  std::string log = test_env::CaptureStderr([] { FixDirApp(L"tarkel.shell"); });
  EXPECT_EQ(log, "FixDirApp " + app_ + "/ " + local_.path() + "/\n");
  EXPECT_EQ(ReadFile(app_ + "/Config.ini"), "ini");
  EXPECT_EQ(ReadFile(app_ + "/config.json"), "{}");
  EXPECT_EQ(ReadFile(app_ + "/userdata/profiles/pupil.db"), "db");
  EXPECT_FALSE(Exists(app_ + "/bin"));
  EXPECT_FALSE(Exists(app_ + "/cache.bin"));
}

// Hidden files inside a version (shipped in the package or left by the
// shell) must not keep it from going, and what a killed delete left under
// a ".deleting-" name goes too; the shell's own hidden items at the top
// stay, as its other items do.
TEST_F(DataFolderTest, FixDirAppRemovesVersionsHoldingDotFilesAndWhatAKilledDeleteLeft) {
  Populate();
  WriteFile(app_ + "/bin/1.0.0/.keep", "");
  MakeDir(app_ + "/bin/1.0.0/.cache");
  WriteFile(app_ + "/bin/1.0.0/.cache/state", "s");
  MakeDir(app_ + "/.deleting-4242-0");
  WriteFile(app_ + "/.deleting-4242-0/.hidden", "h");
  WriteFile(app_ + "/.shell-settings", "mine");
  test_env::CaptureStderr([] { FixDirApp(L"tarkel.shell"); });
  EXPECT_EQ(test_env::ListNames(app_),
            (std::vector<std::string>{".shell-settings", "Config.ini", "config.json", "userdata"}));
  EXPECT_FALSE(IsPlainName(L".deleting-4242-0")) << "a version of that name would be deleted as a leftover";
}

TEST_F(DataFolderTest, FixDirAppNeverBringsBackOrTouchesItemsBesideTheFolder) {
  Populate();
  ::unlink((app_ + "/Config.ini").c_str());
  // Stale items of the same names directly in <LocalAppData>, perhaps
  // another program's: they must neither move in nor change.
  WriteFile(local_ / "Config.ini", "stale");
  MakeDir(local_ / "userdata");
  WriteFile(local_ / "other-program.dat", "o");
  test_env::CaptureStderr([] { FixDirApp(L"tarkel.shell"); });
  EXPECT_FALSE(Exists(app_ + "/Config.ini"));
  EXPECT_EQ(ReadFile(app_ + "/userdata/profiles/pupil.db"), "db");
  EXPECT_EQ(ReadFile(local_ / "Config.ini"), "stale");
  EXPECT_TRUE(Exists(local_ / "userdata"));
  EXPECT_EQ(ReadFile(local_ / "other-program.dat"), "o");
}

TEST_F(DataFolderTest, FixDirAppOnMissingFolderLeavesAnEmptyOne) {
  test_env::CaptureStderr([] { FixDirApp(L"tarkel.shell"); });
  struct stat info;
  ASSERT_EQ(::stat(app_.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_FALSE(PathExists(Utf8ToWide(app_ + "/*")));

  // Even <LocalAppData> itself may be missing on a fresh account.
  ScopedEnv fresh("XDG_DATA_HOME", local_ / "fresh/.local/share");
  test_env::CaptureStderr([] { FixDirApp(L"tarkel.shell"); });
  EXPECT_TRUE(Exists(local_ / "fresh/.local/share/tarkel.shell"));
}

TEST_F(DataFolderTest, FixDirAppLeavesAFileOrLinkInTheFolderPlaceAlone) {
  WriteFile(app_, "not a folder");
  test_env::CaptureStderr([] { FixDirApp(L"tarkel.shell"); });
  EXPECT_EQ(ReadFile(app_), "not a folder");

  ::unlink(app_.c_str());
  TempDir elsewhere;
  WriteFile(elsewhere / "precious", "p");
  ASSERT_EQ(::symlink(elsewhere.path().c_str(), app_.c_str()), 0);
  test_env::CaptureStderr([] { FixDirApp(L"tarkel.shell"); });
  EXPECT_EQ(ReadFile(elsewhere / "precious"), "p");
}

TEST_F(DataFolderTest, FixDirAppWithoutLocalAppDataDoesNothing) {
  ScopedEnv noXdg("XDG_DATA_HOME", std::nullopt);
  ScopedEnv noHome("HOME", std::nullopt);
  EXPECT_FALSE(ClientDataFolder());
  EXPECT_EQ(test_env::CaptureStderr([] { FixDirApp(L"tarkel.shell"); }), "");
  EXPECT_EQ(test_env::CaptureStderr([] { FixDirApp(L"../escape"); }), "");
}

TEST_F(DataFolderTest, FixDirAppOnReadOnlyFolderSkipsWhatItCannotRemove) {
  Populate();
  ASSERT_EQ(std::system(("chmod -R a+rX '" + local_.path() + "' && chmod a-w '" + app_ + "/bin'").c_str()),
            0);
  int status = test_env::RunInChild(
      [] {
        FixDirApp(L"tarkel.shell");
        return 0;
      },
      /*asUnprivileged=*/true);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(ReadFile(app_ + "/bin/1.0.0/tarkel.shell"), "exe");
  EXPECT_EQ(ReadFile(app_ + "/userdata/profiles/pupil.db"), "db");
}

}  // namespace

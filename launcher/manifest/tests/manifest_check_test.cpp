#include "launcher/manifest/manifest_check.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "launcher/manifest/md5.h"
#include "manifest_test_support.h"

using namespace manifesttest;

namespace {

const std::wstring kShell = L"tarkel.shell";

// A version folder with the shell, a library in a sub-folder and a
// resource that the manifest does not list.
class VersionFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(scratch_ / "tarkel.shell.exe", "shell binary");
    WriteFile(scratch_ / "plugins/x.dll", "plugin library");
    WriteFile(scratch_ / "res/logo.png", "not listed");
  }
  void WriteManifest(const std::string& text) { WriteFile(scratch_ / "md5.json", text); }
  std::string Digest(const std::string& name) { return Md5OfFile(scratch_ / name); }
  int Check(std::string* log = nullptr) {
    LogCapture capture;
    int code = CheckInstalledFiles(scratch_.wide(), kShell);
    if (log) *log = capture.Text();
    return code;
  }

  ScratchDir scratch_;
};

TEST_F(VersionFolder, MatchingManifestPassesWhateverTheDigestCase) {
  std::string upper = Digest("plugins/x.dll");
  for (char& c : upper) c = static_cast<char>(toupper(c));
  WriteManifest("[{\"file\":\"tarkel.shell.exe\",\"md5\":\"" + Digest("tarkel.shell.exe") +
                "\"},{\"file\":\"plugins\\\\x.dll\",\"md5\":\"" + upper + "\",\"size\":14}]");
  std::string log;
  EXPECT_EQ(Check(&log), CROk);
  EXPECT_EQ(log, "check 2 md5 files\n");
}

TEST_F(VersionFolder, FirstDifferenceEndsTheCheckWithCode4) {
  WriteManifest(
      "[{\"file\":\"plugins\\\\x.dll\",\"md5\":\"00000000000000000000000000000000\"},"
      "{\"file\":\"missing.dll\",\"md5\":\"00000000000000000000000000000000\"}]");
  std::string log;
  EXPECT_EQ(Check(&log), CRMd5Dismatch);
  EXPECT_EQ(log, "check 2 md5 files\nMd5 dismatch plugins\\x.dll 00000000000000000000000000000000!=" +
                     Digest("plugins/x.dll") + "\n");
}

TEST_F(VersionFolder, MissingOrChangedListedFileIsCode4) {
  WriteManifest("[{\"file\":\"missing.dll\",\"md5\":\"" + Digest("plugins/x.dll") + "\"}]");
  EXPECT_EQ(Check(), CRMd5Dismatch);
  WriteManifest("[{\"file\":\"plugins\\\\x.dll\",\"md5\":\"" + Digest("plugins/x.dll") + "\"}]");
  EXPECT_EQ(Check(), CROk);
  WriteFile(scratch_ / "plugins/x.dll", "plugin librarY");
  EXPECT_EQ(Check(), CRMd5Dismatch);
}

TEST_F(VersionFolder, UnusableManifestsPassWithTheirLogLine) {
  const std::string listPath = scratch_ / "md5.json";
  std::string log;
  EXPECT_EQ(Check(&log), CROk);
  EXPECT_EQ(log, "CRNoList " + listPath + " is not exist\n");
  for (const char* text : {"", "not json", "[{\"file\":"}) {
    WriteManifest(text);
    EXPECT_EQ(Check(&log), CROk) << text;
    EXPECT_EQ(log, "CRNoList " + listPath + " parse error\n") << text;
  }
  WriteManifest(std::string(5000, '[') + std::string(5000, ']'));  // past the depth limit
  EXPECT_EQ(Check(), CROk);
  WriteManifest("{\"file\":\"x\",\"md5\":\"y\"}");
  EXPECT_EQ(Check(), CROk);
  WriteManifest("[]");
  EXPECT_EQ(Check(&log), CROk);
  EXPECT_EQ(log, "check 0 md5 files\n");
}

TEST_F(VersionFolder, ElementsWithoutFileOrMd5TextAreSkippedNotFatal) {
  WriteManifest(
      "[1, {\"file\":3,\"md5\":\"x\"}, {\"md5\":\"x\"}, \"text\","
      "{\"file\":\"tarkel.shell.exe\",\"md5\":\"" +
      Digest("tarkel.shell.exe") + "\"}]");
  std::string log;
  EXPECT_EQ(Check(&log), CROk);
  EXPECT_NE(log.find("md5 entry 0 has no file or md5 text, skipped"), std::string::npos);
  // A skipped element never hides a real difference after it.
  WriteManifest("[{}, {\"file\":\"tarkel.shell.exe\",\"md5\":\"0\"}]");
  EXPECT_EQ(Check(), CRMd5Dismatch);
}

TEST_F(VersionFolder, FolderAndExecutableAreCheckedFirst) {
  WriteManifest("not json");
  ::unlink((scratch_ / "tarkel.shell.exe").c_str());
  std::string log;
  EXPECT_EQ(Check(&log), CRNoExe);
  EXPECT_EQ(log, "CRNoExe " + (scratch_ / "tarkel.shell.exe") + " is not exist\n");

  EXPECT_EQ(CheckInstalledFiles(scratch_.wide() + L"/nothing", kShell), CRNoDir);
  // A file where the folder should be is not a version folder.
  LogCapture capture;
  EXPECT_EQ(CheckInstalledFiles(scratch_.wide() + L"/res/logo.png", kShell), CRNoDir);
  EXPECT_EQ(capture.Text(), "CRNoDir " + (scratch_ / "res/logo.png") + " is not exist\n");
}

// md5.json is outside data: an entry that climbs out of the folder (even
// one listing the right digest of what lies there), reaches out through a
// link, or names a FIFO or a device is a mismatch, and nothing outside the
// folder is read or waited on. Each check runs in a child with an alarm so
// that a check that blocks fails instead of hanging the test.
TEST_F(VersionFolder, EntriesOutsideTheFolderOrOnFifosAndDevicesAreMismatchesNeverRead) {
  ScratchDir outside;
  WriteFile(outside / "secret.dll", "lies outside");
  const std::string outsideName = outside.path().substr(outside.path().rfind('/') + 1);
  const std::string secretDigest = Md5OfFile(outside / "secret.dll");
  ASSERT_EQ(::symlink((outside / "secret.dll").c_str(), (scratch_ / "link.dll").c_str()), 0);
  ASSERT_EQ(::mkfifo((scratch_ / "pipe.dll").c_str(), 0600), 0);
  const std::string zeros = "e3b0c44298fc1c149afbf4c8996fb924";
  for (const std::string& entry :
       {"..\\\\" + outsideName + "\\\\secret.dll", std::string("link.dll"), std::string("pipe.dll"),
        std::string("..\\\\..\\\\..\\\\..\\\\dev\\\\zero")}) {
    SCOPED_TRACE(entry);
    const std::string listed =
        entry == "pipe.dll" || entry.find("zero") != std::string::npos ? zeros : secretDigest;
    WriteManifest("[{\"file\":\"" + entry + "\",\"md5\":\"" + listed + "\"}]");
    EXPECT_EQ(test_env::RunInChild([&] {
                ::alarm(20);
                LogCapture capture;
                const int code = CheckInstalledFiles(scratch_.wide(), kShell);
                // What was computed is logged after the "!=": nothing, as nothing was read.
                const std::string log = capture.Text();
                return log.size() >= 3 && log.compare(log.size() - 3, 3, "!=\n") == 0 ? code : 100 + code;
              }),
              CRMd5Dismatch);
  }
}

}  // namespace

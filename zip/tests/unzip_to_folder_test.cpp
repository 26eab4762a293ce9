// UnzipToFolder against what Info-ZIP's unzip extracts from the same
// archives, plus the behaviour the update worker relies on.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "zip/zip_reader.h"
#include "zip_test_support.h"

using namespace ziptest;

namespace {

std::wstring Wide(const std::string& ascii) {
  return std::wstring(ascii.begin(), ascii.end());
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(UnzipToFolderOracle, SameTreeAndBytesAsUnzip) {
  for (const char* name : {"infozip.zip", "infozip_x.zip", "sfx_plain.zip", "py_deflated.zip"}) {
    SCOPED_TRACE(name);
    ScratchDir scratch;
    const std::string ours = scratch / "ours";
    const std::string theirs = scratch / "theirs";
    // unzip exits 1 with a warning for the stub in front of sfx_plain.zip.
    ASSERT_LE(RunShell("unzip -qo '" + Fixture(name) + "' -d " + theirs + " 2>/dev/null"), 1);
    ZipReader probe;
    ASSERT_EQ(probe.OpenFile(Fixture(name)), kZipOk);
    EXPECT_EQ(UnzipToFolder(Wide(Fixture(name)), Wide(ours)), probe.EntryCount());
    std::vector<std::string> tree = ListTree(ours);
    // unzip, too, takes the backslashes of the Windows-made entries as
    // separators.
    std::vector<std::string> expected = ListTree(theirs);
    ASSERT_EQ(tree, expected);
    for (const std::string& item : tree) {
      if (item.back() == '/') continue;
      EXPECT_EQ(ReadFile(ours + "/" + item), ReadFile(theirs + "/" + item)) << item;
    }
  }
}

TEST(UnzipToFolderOracle, ModesAndTimesFollowTheEntries) {
  ScratchDir scratch;
  const std::string ours = scratch / "ours";
  const std::string theirs = scratch / "theirs";
  ASSERT_EQ(RunShell("unzip -qo '" + Fixture("infozip.zip") + "' -d " + theirs), 0);
  ASSERT_EQ(UnzipToFolder(Wide(Fixture("infozip.zip")), Wide(ours)), 9);
  // The shell must stay executable after unpacking.
  EXPECT_EQ(ModeOf(ours + "/bin/tarkel.shell.exe") & 0100, 0100u);
  EXPECT_EQ(ModeOf(ours + "/readme.txt") & 0200, 0200u);
  struct stat a {
  }, b{};
  ASSERT_EQ(stat((ours + "/bin/plugins/x.dll").c_str(), &a), 0);
  ASSERT_EQ(stat((theirs + "/bin/plugins/x.dll").c_str(), &b), 0);
  EXPECT_EQ(a.st_mtime, b.st_mtime);

  // Windows-made entries without owner-write come out read-only, and a
  // second unpack over them fails on exactly those files.
  const std::string win = scratch / "win";
  ASSERT_EQ(UnzipToFolder(Wide(Fixture("py_stored.zip")), Wide(win)), 5);
  EXPECT_EQ(ModeOf(win + "/win_readonly.txt") & 0222, 0u);
  ZipReader again;
  ASSERT_EQ(again.OpenFile(Fixture("py_stored.zip")), kZipOk);
  again.SetRootFolder(win);
  ZipEntry entry;
  ASSERT_EQ(again.FindEntry(std::string("win_readonly.txt"), ZipNameCase::kExact, entry), kZipOk);
  EXPECT_EQ(again.ExtractEntry(entry.index), kZipNoFile);
  EXPECT_EQ(ReadFile(win + "/win_readonly.txt"), "read only on Windows\n");
}

// A package zipped on Windows has no execute bits to keep; its programs
// (told by their content) must still run, and nothing else may become
// executable, nor a Unix-made entry lose the mode it was given.
TEST(UnzipToFolderOracle, ProgramsInAWindowsArchiveBecomeExecutableAndNothingElse) {
  ScratchDir scratch;
  const std::string dest = scratch / "w";
  ASSERT_EQ(UnzipToFolder(Wide(Fixture("windows_programs.zip")), Wide(dest)), 4);
  EXPECT_EQ(ModeOf(dest + "/shell.exe") & 0111, 0111u);
  EXPECT_EQ(ModeOf(dest + "/tools/run.sh") & 0111, 0111u);
  EXPECT_EQ(ModeOf(dest + "/notes.txt") & 0111, 0u);
  EXPECT_EQ(ModeOf(dest + "/unix_data.bin"), 0644u);
}

TEST(UnzipToFolderOracle, BackslashAndSlashNamesShareFoldersAndEmptyFoldersAppear) {
  ScratchDir scratch;
  const std::string dest = scratch / "v";
  ASSERT_EQ(UnzipToFolder(Wide(Fixture("py_deflated.zip")), Wide(dest + "/")), 5);
  EXPECT_EQ(ListTree(dest), (std::vector<std::string>{"a/", "a/b/", "a/b/c.txt", "a/b/d.txt", "a/empty/",
                                                      "big.bin", "win_readonly.txt"}));
}

TEST(UnzipToFolderResult, FailuresReportZeroAndCreateNothing) {
  ScratchDir scratch;
  EXPECT_EQ(UnzipToFolder(Wide(Fixture("truncated.zip")), Wide(scratch / "t")), 0);
  EXPECT_EQ(UnzipToFolder(Wide(Fixture("missing.zip")), Wide(scratch / "m")), 0);
  EXPECT_EQ(UnzipToFolder(Wide(Fixture("infozip.zip")), L""), 0);
  EXPECT_TRUE(ListTree(scratch.path()).empty());
  // An empty archive has no entries: zero, the failure value.
  EXPECT_EQ(UnzipToFolder(Wide(Fixture("empty.zip")), Wide(scratch / "e")), 0);
}

TEST(UnzipToFolderResult, BadEntriesAreSkippedAndRemovedOthersLand) {
  ScratchDir scratch;
  const std::string dest = scratch / "c";
  EXPECT_EQ(UnzipToFolder(Wide(Fixture("corrupt_deflate.zip")), Wide(dest)), 3);
  EXPECT_EQ(ListTree(dest), (std::vector<std::string>{"after.txt", "good.txt"}));
}

}  // namespace

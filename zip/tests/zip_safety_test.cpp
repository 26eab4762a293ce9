// Crafted archives: names that climb out, links, over-long names, lying
// sizes and offsets. Nothing may be written outside the destination and
// nothing may crash or allocate by a declared size.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "zip/zip_log.h"
#include "zip/zip_reader.h"
#include "zip_test_support.h"

using namespace ziptest;

namespace {

// Extracts every entry of a fixture into scratch/dest and returns the
// per-entry results.
std::vector<ZipResult> ExtractAll(const std::string& fixture, const std::string& dest) {
  ZipReader reader;
  std::vector<ZipResult> results;
  EXPECT_EQ(reader.OpenFile(Fixture(fixture)), kZipOk);
  reader.SetRootFolder(dest);
  for (int i = 0; i < reader.EntryCount(); ++i) results.push_back(reader.ExtractEntry(i));
  return results;
}

TEST(ZipSafetyNames, ClimbingNamesAreRefusedAndNothingLeavesTheDestination) {
  ScratchDir scratch;
  const std::string dest = scratch / "a1/dest";
  ASSERT_EQ(RunShell("mkdir -p " + dest), 0);
  std::vector<ZipResult> results = ExtractAll("hostile_climb.zip", dest);
  ASSERT_EQ(results.size(), 10u);
  for (std::size_t i = 0; i + 1 < results.size(); ++i) EXPECT_EQ(results[i], kZipRefused) << i;
  EXPECT_EQ(results.back(), kZipOk);
  EXPECT_EQ(ListTree(scratch.path()), (std::vector<std::string>{"a1/", "a1/dest/", "a1/dest/ok.txt"}));
  EXPECT_FALSE(Exists("/tmp/evil3.txt"));
}

std::vector<std::string> loggedLines;

// The refusal is also told to the program's log, which is all a user's
// report will carry.
TEST(ZipSafetyNames, NulInsideANameIsRefusedAndTheProgramHearsWhy) {
  ScratchDir scratch;
  SetZipLogSink([](const char* line) { loggedLines.push_back(line); });
  EXPECT_EQ(ExtractAll("hostile_nul.zip", scratch.path()), std::vector<ZipResult>{kZipRefused});
  SetZipLogSink(nullptr);
  EXPECT_TRUE(ListTree(scratch.path()).empty());
  ASSERT_EQ(loggedLines.size(), 1u);
  EXPECT_EQ(loggedLines[0].rfind("unzip refused ", 0), 0u) << loggedLines[0];
}

TEST(ZipSafetyNames, OverlongNamesAreSkippedOthersExtracted) {
  ScratchDir scratch;
  EXPECT_EQ(ExtractAll("hostile_long.zip", scratch.path()),
            (std::vector<ZipResult>{kZipRefused, kZipRefused, kZipOk}));
  EXPECT_EQ(ListTree(scratch.path()), std::vector<std::string>{"short.txt"});
}

TEST(ZipSafetyLinks, LinkEntriesAreNeverCreatedAsLinks) {
  ScratchDir scratch;
  const std::string dest = scratch / "dest";
  ASSERT_EQ(RunShell("mkdir " + dest), 0);
  std::vector<ZipResult> results = ExtractAll("hostile_symlink.zip", dest);
  EXPECT_EQ(results, (std::vector<ZipResult>{kZipRefused, kZipRefused, kZipOk, kZipOk}));
  // "link/payload.txt" made a real folder named link, not a way out.
  EXPECT_EQ(ListTree(scratch.path()),
            (std::vector<std::string>{"dest/", "dest/link/", "dest/link/payload.txt", "dest/plain.txt"}));
}

TEST(ZipSafetyLinks, LinksAlreadyInTheDestinationAreNotFollowed) {
  ScratchDir scratch;
  const std::string dest = scratch / "dest";
  ASSERT_EQ(RunShell("mkdir -p " + dest + " " + scratch.path() + "/outside"), 0);
  WriteFile(scratch / "outside/target.txt", "keep me");
  // A folder link on the way and a file link at the end, both pointing out.
  ASSERT_EQ(symlink((scratch.path() + "/outside").c_str(), (dest + "/bin").c_str()), 0);
  ASSERT_EQ(symlink((scratch.path() + "/outside/target.txt").c_str(), (dest + "/readme.txt").c_str()), 0);
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(Fixture("infozip.zip")), kZipOk);
  reader.SetRootFolder(dest);
  ZipEntry readme, exe;
  ASSERT_EQ(reader.FindEntry(std::string("readme.txt"), ZipNameCase::kExact, readme), kZipOk);
  ASSERT_EQ(reader.FindEntry(std::string("bin/tarkel.shell.exe"), ZipNameCase::kExact, exe), kZipOk);
  EXPECT_EQ(reader.ExtractEntry(readme.index), kZipNoFile);
  EXPECT_EQ(reader.ExtractEntry(exe.index), kZipNoFile);
  EXPECT_EQ(ListTree(scratch / "outside"), std::vector<std::string>{"target.txt"});
  EXPECT_EQ(ReadFile(scratch / "outside/target.txt"), "keep me");
}

TEST(ZipSafetyLinks, ALinkInTheDestinationsPlaceOrAFifoAtAnEntrysPathIsRefusedWithoutBlocking) {
  ScratchDir scratch;
  ASSERT_EQ(RunShell("mkdir " + scratch / "outside" + " " + scratch / "dest"), 0);
  ASSERT_EQ(symlink((scratch / "outside").c_str(), (scratch / "link").c_str()), 0);
  const std::string zip = Fixture("infozip.zip");
  EXPECT_EQ(UnzipToFolder(std::wstring(zip.begin(), zip.end()), scratch.wide() + L"/link"), 0);
  EXPECT_EQ(ListTree(scratch / "outside"), std::vector<std::string>{});

  // Opening a FIFO for writing waits for a reader: in a child with an alarm,
  // so that a regression fails instead of hanging.
  ASSERT_EQ(mkfifo((scratch / "dest/readme.txt").c_str(), 0600), 0);
  EXPECT_EQ(test_env::RunInChild([&] {
              ::alarm(20);
              std::vector<ZipResult> results = ExtractAll("infozip.zip", scratch / "dest");
              return static_cast<int>(std::count(results.begin(), results.end(), kZipNoFile));
            }),
            1);
  EXPECT_TRUE(Exists(scratch / "dest/bin/tarkel.shell.exe"));
}

// Twenty central records over one local entry of 8 MiB: only the first is
// let through. Info-ZIP's unzip refuses the same archive.
TEST(ZipSafetySizes, EntriesOverlappingAnotherEntryAreRefused) {
  ScratchDir scratch;
  const std::string bomb = Fixture("hostile_overlap.zip");
  EXPECT_EQ(UnzipToFolder(std::wstring(bomb.begin(), bomb.end()), scratch.wide() + L"/dest"), 20);
  EXPECT_EQ(ListTree(scratch / "dest"), std::vector<std::string>{"copy00.bin"});
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(bomb), kZipOk);
  std::vector<unsigned char> data;
  EXPECT_EQ(reader.ReadEntry(0, data), kZipOk);
  EXPECT_EQ(data.size(), 8u << 20);
  EXPECT_EQ(reader.ReadEntry(7, data), kZipCorrupt);
  EXPECT_TRUE(data.empty());
  EXPECT_NE(RunShell("unzip -qq -t '" + bomb + "' >/dev/null 2>&1"), 0);
}

TEST(ZipSafetySizes, InflationIsCutAtTheDeclaredSize) {
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(Fixture("hostile_bomb.zip")), kZipOk);
  std::vector<unsigned char> data;
  EXPECT_EQ(reader.ReadEntry(0, data), kZipOk);  // CRC made for the cut bytes
  EXPECT_EQ(data.size(), 1000u);

  ScratchDir scratch;
  reader.SetRootFolder(scratch.path());
  EXPECT_EQ(reader.ExtractEntry(0), kZipOk);
  struct stat st;
  ASSERT_EQ(stat((scratch / "bomb.bin").c_str(), &st), 0);
  EXPECT_EQ(st.st_size, 1000);
}

TEST(ZipSafetySizes, DeclaredSizeBeyondTheDataAllocatesNothingAndFails) {
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(Fixture("hostile_declared_huge.zip")), kZipOk);
  ZipEntry entry;
  ASSERT_EQ(reader.GetEntry(0, entry), kZipOk);
  EXPECT_EQ(entry.uncompressedSize, 0xFFFFFFF0u);
  std::vector<unsigned char> data;
  EXPECT_EQ(reader.ReadEntry(0, data), kZipCorrupt);
  EXPECT_EQ(data.size(), 4u);
  EXPECT_LT(data.capacity(), 1u << 20);

  // Extraction fails the same way and leaves no file that looks complete.
  ScratchDir scratch;
  reader.SetRootFolder(scratch.path());
  EXPECT_EQ(reader.ExtractEntry(0), kZipCorrupt);
  EXPECT_FALSE(Exists(scratch / "liar.bin"));

  ZipReader stored;
  ASSERT_EQ(stored.OpenFile(Fixture("hostile_stored_short.zip")), kZipOk);
  EXPECT_EQ(stored.ReadEntry(0, data), kZipCorrupt);
  EXPECT_EQ(data.size(), 3u);
}

TEST(ZipSafetyStructure, LyingOffsetsAndCountsFailCleanly) {
  for (const char* name :
       {"hostile_dir_offset.zip", "hostile_dir_size.zip", "hostile_count.zip", "hostile_multidisk.zip"}) {
    ZipReader reader;
    EXPECT_EQ(reader.OpenFile(Fixture(name)), kZipCorrupt) << name;
    std::vector<unsigned char> block = ReadBytes(Fixture(name));
    EXPECT_EQ(reader.OpenMemory(block.data(), block.size()), kZipCorrupt) << name;
  }
  // The directory is sound but the entry's own header or data is not.
  for (const char* name :
       {"hostile_local_offset.zip", "hostile_csize.zip", "hostile_local_name.zip", "hostile_method.zip"}) {
    std::vector<unsigned char> block = ReadBytes(Fixture(name));
    ZipReader reader;
    ASSERT_EQ(reader.OpenMemory(block.data(), block.size()), kZipOk) << name;
    ZipEntry entry;
    EXPECT_EQ(reader.GetEntry(0, entry), kZipCorrupt) << name;
    std::vector<unsigned char> data;
    EXPECT_EQ(reader.ReadEntry(0, data), kZipCorrupt) << name;
  }
  // An extra block claiming more bytes than the field holds is ignored.
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(Fixture("hostile_extra_len.zip")), kZipOk);
  std::vector<unsigned char> data;
  EXPECT_EQ(reader.ReadEntry(0, data), kZipOk);
}

}  // namespace

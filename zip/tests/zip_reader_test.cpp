#include "zip/zip_reader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "zip_test_support.h"

using namespace ziptest;

namespace {

std::string AsText(const std::vector<unsigned char>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Every file entry of the archive must read back as the file it was made
// from; folder entries are only listed.
void ExpectEntriesMatchTree(ZipReader& reader, const std::string& tree) {
  int files = 0;
  for (int i = 0; i < reader.EntryCount(); ++i) {
    ZipEntry entry;
    ASSERT_EQ(reader.GetEntry(i, entry), kZipOk);
    EXPECT_EQ(entry.index, i);
    if (entry.IsFolder()) continue;
    std::vector<unsigned char> data;
    ASSERT_EQ(reader.ReadEntry(i, data), kZipOk) << entry.name;
    EXPECT_EQ(AsText(data), ReadFile(tree + "/" + entry.name)) << entry.name;
    EXPECT_EQ(data.size(), entry.uncompressedSize);
    ++files;
  }
  EXPECT_EQ(files, 5);
}

TEST(ZipReaderRealArchives, InfoZipArchivesReadBackFromFileAndMemory) {
  for (const char* name : {"infozip.zip", "infozip_x.zip", "sfx_adjusted.zip"}) {
    SCOPED_TRACE(name);
    ZipReader fromFile;
    ASSERT_EQ(fromFile.OpenFile(Fixture(name)), kZipOk);
    EXPECT_EQ(fromFile.EntryCount(), 9);
    ExpectEntriesMatchTree(fromFile, Fixture("src"));

    std::vector<unsigned char> block = ReadBytes(Fixture(name));
    ZipReader fromMemory;
    ASSERT_EQ(fromMemory.OpenMemory(block.data(), block.size()), kZipOk);
    ExpectEntriesMatchTree(fromMemory, Fixture("src"));
  }
}

TEST(ZipReaderRealArchives, StubInFrontIsSkippedByItsLength) {
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(Fixture("sfx_plain.zip")), kZipOk);
  EXPECT_EQ(reader.BytesBeforeArchive(), 1000u);
  ExpectEntriesMatchTree(reader, Fixture("src"));

  ZipReader adjusted;  // zip -A rewrote the offsets: nothing to add
  ASSERT_EQ(adjusted.OpenFile(Fixture("sfx_adjusted.zip")), kZipOk);
  EXPECT_EQ(adjusted.BytesBeforeArchive(), 0u);
}

TEST(ZipReaderRealArchives, PythonStoredAndDeflatedEntriesMatch) {
  for (const char* name : {"py_stored.zip", "py_deflated.zip"}) {
    SCOPED_TRACE(name);
    ZipReader reader;
    ASSERT_EQ(reader.OpenFile(Fixture(name)), kZipOk);
    ASSERT_EQ(reader.EntryCount(), 5);
    ZipEntry entry;
    ASSERT_EQ(reader.FindEntry(std::string("big.bin"), ZipNameCase::kExact, entry), kZipOk);
    std::vector<unsigned char> data;
    ASSERT_EQ(reader.ReadEntry(entry.index, data), kZipOk);
    ASSERT_EQ(data.size(), 512000u);
    for (std::size_t i = 0; i < data.size(); i += 997) ASSERT_EQ(data[i], i % 256);
  }
}

TEST(ZipReaderRealArchives, StreamedEntriesWithZip64RecordsRead) {
  std::string expected;
  for (int i = 0; i < 100; ++i) expected += "streamed through a pipe\n";
  for (const char* name : {"streamed_file.zip", "streamed_pipe.zip"}) {
    ZipReader reader;
    ASSERT_EQ(reader.OpenFile(Fixture(name)), kZipOk) << name;
    EXPECT_EQ(reader.BytesBeforeArchive(), 0u) << name;
    std::vector<unsigned char> data;
    ASSERT_EQ(reader.ReadEntry(0, data), kZipOk) << name;
    EXPECT_EQ(AsText(data), expected) << name;
  }
}

TEST(ZipReaderPieces, SmallBufferReadsInPiecesWithMoreData) {
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(Fixture("infozip.zip")), kZipOk);
  ZipEntry entry;
  ASSERT_EQ(reader.FindEntry(std::string("bin/tarkel.shell.exe"), ZipNameCase::kExact, entry), kZipOk);
  std::string joined;
  char buffer[4096];
  ZipResult result = kZipMore;
  int calls = 0;
  while (result == kZipMore) {
    std::size_t got = 0;
    result = reader.ReadEntry(entry.index, buffer, sizeof buffer, &got);
    joined.append(buffer, got);
    ++calls;
  }
  EXPECT_EQ(result, kZipOk);
  EXPECT_EQ(calls, (70000 + 4095) / 4096);
  EXPECT_EQ(joined, ReadFile(Fixture("src/bin/tarkel.shell.exe")));

  // Asking for another entry in between restarts the first from its start.
  std::size_t got = 0;
  ASSERT_EQ(reader.ReadEntry(entry.index, buffer, 10, &got), kZipMore);
  std::vector<unsigned char> other;
  ASSERT_EQ(reader.ReadEntry(0, other), kZipOk);
  ASSERT_EQ(reader.ReadEntry(entry.index, buffer, 10, &got), kZipMore);
  EXPECT_EQ(std::string(buffer, 10), joined.substr(0, 10));
}

TEST(ZipReaderFind, NameIgnoringCaseAndBackslashes) {
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(Fixture("infozip.zip")), kZipOk);
  ZipEntry entry;
  EXPECT_EQ(reader.FindEntry(L"Skin\\Launcher.XML", ZipNameCase::kIgnore, entry), kZipOk);
  EXPECT_EQ(entry.name, "skin/launcher.xml");
  EXPECT_EQ(reader.FindEntry(L"Skin\\Launcher.XML", ZipNameCase::kExact, entry), kZipNotFound);
  EXPECT_EQ(reader.FindEntry(L"skin\\launcher.xml", ZipNameCase::kExact, entry), kZipOk);
  EXPECT_EQ(reader.FindEntry(L"skin/launcher.xm", ZipNameCase::kIgnore, entry), kZipNotFound);
  EXPECT_EQ(reader.FindEntry(std::wstring(255, L'a'), ZipNameCase::kIgnore, entry), kZipNotFound);
  EXPECT_EQ(reader.FindEntry(std::wstring(256, L'a'), ZipNameCase::kIgnore, entry), kZipBadArgs);

  ZipReader windows;  // a stored backslash name is found by either separator
  ASSERT_EQ(windows.OpenFile(Fixture("py_deflated.zip")), kZipOk);
  EXPECT_EQ(windows.FindEntry(std::string("a/b/d.txt"), ZipNameCase::kExact, entry), kZipOk);
  EXPECT_EQ(entry.name, "a\\b\\d.txt");
}

TEST(ZipReaderOpen, RejectsWhatIsNotAUsableArchive) {
  ZipReader reader;
  EXPECT_EQ(reader.OpenFile(Fixture("no-such.zip")), kZipNoFile);
  EXPECT_EQ(reader.OpenFile(std::string("/dev/null")), kZipCannotSeek);
  // A FIFO in the package's place is refused, not waited on for a writer.
  ScratchDir scratch;
  ASSERT_EQ(mkfifo((scratch / "package.zip").c_str(), 0600), 0);
  EXPECT_EQ(test_env::RunInChild([&] {
              ::alarm(20);
              return static_cast<int>(ZipReader().OpenFile(scratch / "package.zip") == kZipCannotSeek);
            }),
            1);
  EXPECT_EQ(reader.OpenFile(Fixture("truncated.zip")), kZipCorrupt);
  EXPECT_EQ(reader.OpenFile(Fixture("comment_long.zip")), kZipCorrupt);
  EXPECT_FALSE(reader.IsOpen());
  EXPECT_EQ(reader.OpenMemory("PK\5\6", 4), kZipCorrupt);
  EXPECT_EQ(reader.OpenMemory(nullptr, 0), kZipCorrupt);

  ASSERT_EQ(reader.OpenFile(Fixture("comment_ok.zip")), kZipOk);
  EXPECT_EQ(reader.CommentSize(), 65000u);
  EXPECT_EQ(reader.OpenFile(Fixture("infozip.zip")), kZipAlreadyOpen);
  reader.Close();
  EXPECT_EQ(reader.OpenFile(Fixture("empty.zip")), kZipOk);
  EXPECT_EQ(reader.EntryCount(), 0);
  ZipEntry entry;
  EXPECT_EQ(reader.GetEntry(0, entry), kZipBadArgs);
  EXPECT_EQ(reader.GetEntry(-2, entry), kZipBadArgs);
  ASSERT_EQ(reader.GetEntry(-1, entry), kZipOk);
  EXPECT_EQ(entry.index, 0);
}

TEST(ZipReaderDamage, CorruptDeflateFailsThatEntryOnly) {
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(Fixture("corrupt_deflate.zip")), kZipOk);
  std::vector<unsigned char> data;
  EXPECT_EQ(reader.ReadEntry(1, data), kZipInflateError);
  EXPECT_LT(data.size(), 12000u);
  EXPECT_EQ(reader.ReadEntry(0, data), kZipOk);
  EXPECT_EQ(AsText(data), "fine\n");
  EXPECT_EQ(reader.ReadEntry(2, data), kZipOk);
  EXPECT_EQ(AsText(data), "after\n");
}

TEST(ZipReaderDescription, AttributesFromWindowsAndUnixMakers) {
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(Fixture("attrs.zip")), kZipOk);
  auto attributes = [&](const char* name) {
    ZipEntry entry;
    EXPECT_EQ(reader.FindEntry(std::string(name), ZipNameCase::kExact, entry), kZipOk) << name;
    return entry.attributes;
  };
  EXPECT_EQ(attributes("windows.txt"), kZipAttrNormal | kZipAttrArchive | kZipAttrReadOnly);
  EXPECT_EQ(attributes("owner_write.txt"), kZipAttrNormal);
  EXPECT_EQ(attributes("dos_readonly.txt"), kZipAttrNormal | kZipAttrReadOnly);
  EXPECT_EQ(attributes("hidden_system.txt"),
            kZipAttrNormal | kZipAttrHidden | kZipAttrSystem | kZipAttrReadOnly);
  EXPECT_TRUE(attributes("unix_folder/") & kZipAttrFolder);
  EXPECT_TRUE(attributes("dos_folder/") & kZipAttrFolder);
  ZipEntry tool;
  ASSERT_EQ(reader.FindEntry(std::string("tool.sh"), ZipNameCase::kExact, tool), kZipOk);
  EXPECT_EQ(tool.unixMode, 0100755u);
}

TEST(ZipReaderDescription, TimesFromDosFieldAndUtBlock) {
  ZipReader reader;
  ASSERT_EQ(reader.OpenFile(Fixture("attrs.zip")), kZipOk);
  const std::int64_t dos = 1592224220;  // 2020-06-15 12:30:20, taken as UTC
  ZipEntry entry;
  ASSERT_EQ(reader.FindEntry(std::string("windows.txt"), ZipNameCase::kExact, entry), kZipOk);
  EXPECT_EQ(entry.modificationTime, dos);
  EXPECT_EQ(entry.accessTime, dos);

  ASSERT_EQ(reader.FindEntry(std::string("mtime_only.txt"), ZipNameCase::kExact, entry), kZipOk);
  EXPECT_EQ(entry.modificationTime, 1600000000);
  EXPECT_EQ(entry.accessTime, dos);
  EXPECT_EQ(entry.creationTime, dos);

  // The UT block follows another block; all three times present.
  ASSERT_EQ(reader.FindEntry(std::string("all_times.txt"), ZipNameCase::kExact, entry), kZipOk);
  EXPECT_EQ(entry.modificationTime, 1600000000);
  EXPECT_EQ(entry.accessTime, 1500000000);
  EXPECT_EQ(entry.creationTime, 1400000000);

  // Flags promise three times, the block holds fewer bytes: nothing is read
  // past it.
  ASSERT_EQ(reader.FindEntry(std::string("ut_truncated.txt"), ZipNameCase::kExact, entry), kZipOk);
  EXPECT_EQ(entry.modificationTime, dos);
}

}  // namespace

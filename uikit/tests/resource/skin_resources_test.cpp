// Where skin bytes come from and how each way of failing is told apart:
// the resource folder, a registered archive, and the plain path an image
// name may also be.
#include "skinui/skin_resources.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "skinui/skin_markup.h"
#include "skinui/text_convert.h"

namespace SkinUI {
namespace {

class SkinFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/uikit-resources-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    m_dir = tmpl;
    ResourceStore::Reset();
    ResourceStore::SetResourcePath(Utf8ToWide(m_dir));
  }
  void TearDown() override {
    std::filesystem::remove_all(m_dir);
    ResourceStore::Reset();
  }
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = m_dir + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  SkinReadStatus Read(const std::wstring& name) { return ReadSkinFileBytes(name, &m_bytes); }

  std::string m_dir;
  std::vector<unsigned char> m_bytes;
};

TEST_F(SkinFiles, ResourcePathUsesSlashesAndEndsWithOne) {
  ResourceStore::SetResourcePath(L"skins\\blue");
  EXPECT_EQ(ResourceStore::GetResourcePath(), L"skins/blue/");
  ResourceStore::SetResourcePath(L"/opt/skin/");
  EXPECT_EQ(ResourceStore::GetResourcePath(), L"/opt/skin/");
  ResourceStore::SetResourcePath(L"");
  EXPECT_EQ(ResourceStore::GetResourcePath(), L"");
}

TEST_F(SkinFiles, FolderReadsTellEachFailureApart) {
  Write("ok.xml", "<Window/>");
  Write("empty.xml", "");
  std::filesystem::create_directory(m_dir + "/folder.xml");
  EXPECT_EQ(Read(L"ok.xml"), SkinReadStatus::Ok);
  EXPECT_EQ(std::string(m_bytes.begin(), m_bytes.end()), "<Window/>");
  EXPECT_EQ(Read(L"none.xml"), SkinReadStatus::OpenFailed);
  EXPECT_TRUE(m_bytes.empty());
  // A folder of that name opens on Linux, but it is no skin file.
  EXPECT_EQ(Read(L"folder.xml"), SkinReadStatus::OpenFailed);
  EXPECT_EQ(Read(L"empty.xml"), SkinReadStatus::Empty);
}

TEST_F(SkinFiles, SizeLimitIsFourMebibytesInclusive) {
  Write("limit.xml", std::string(ResourceStore::kMaxSkinFileBytes, 'x'));
  Write("over.xml", std::string(ResourceStore::kMaxSkinFileBytes + 1, 'x'));
  EXPECT_EQ(Read(L"limit.xml"), SkinReadStatus::Ok);
  EXPECT_EQ(m_bytes.size(), ResourceStore::kMaxSkinFileBytes);
  EXPECT_EQ(Read(L"over.xml"), SkinReadStatus::TooLarge);
  EXPECT_TRUE(m_bytes.empty());
}

TEST_F(SkinFiles, BackslashNamesReachSubfolders) {
  Write("images/close.png", "png");
  EXPECT_EQ(Read(L"images\\close.png"), SkinReadStatus::Ok);
  EXPECT_EQ(m_bytes.size(), 3u);
}

TEST_F(SkinFiles, ImageNamesFallBackToTheirOwnPath) {
  const std::string outside = Write("elsewhere/pic.png", "pixels");
  ResourceStore::SetResourcePath(Utf8ToWide(m_dir + "/skin"));
  EXPECT_TRUE(ReadSkinResourceBytes(Utf8ToWide(outside), &m_bytes));
  EXPECT_EQ(m_bytes.size(), 6u);
  EXPECT_FALSE(ReadSkinResourceBytes(L"", &m_bytes));
  EXPECT_FALSE(ReadSkinResourceBytes(Utf8ToWide(m_dir + "/elsewhere/none.png"), &m_bytes));
}

// An archive that answers every read with one status, and remembers what it
// was asked.
class ScriptedArchive : public ISkinArchive {
 public:
  ScriptedArchive(ReadStatus status, std::string data) : m_status(status), m_data(std::move(data)) {}
  ReadStatus ReadEntry(const std::string& name, std::size_t limit, std::vector<unsigned char>* out) override {
    lastName = name;
    lastLimit = limit;
    out->assign(m_data.begin(), m_data.end());
    return m_status;
  }
  std::string lastName;
  std::size_t lastLimit = 0;

 private:
  ReadStatus m_status;
  std::string m_data;
};

TEST_F(SkinFiles, ArchiveStatusesMapToReadStatuses) {
  const struct {
    ISkinArchive::ReadStatus archive;
    std::string data;
    SkinReadStatus expected;
  } cases[] = {
      {ISkinArchive::ReadStatus::Ok, "<Window/>", SkinReadStatus::Ok},
      {ISkinArchive::ReadStatus::Ok, "", SkinReadStatus::Empty},
      {ISkinArchive::ReadStatus::NotFound, "", SkinReadStatus::ZipEntryMissing},
      {ISkinArchive::ReadStatus::TooLarge, "", SkinReadStatus::TooLarge},
      {ISkinArchive::ReadStatus::Failed, "", SkinReadStatus::ZipReadFailed},
  };
  Write("ok.xml", "<Window/>");  // in the folder too: the archive must win
  for (const auto& c : cases) {
    auto archive = std::make_unique<ScriptedArchive>(c.archive, c.data);
    ScriptedArchive* seen = archive.get();
    ResourceStore::SetResourceZipArchive(std::move(archive), false);
    EXPECT_EQ(Read(L"skin\\ok.xml"), c.expected) << static_cast<int>(c.archive);
    EXPECT_EQ(seen->lastName, "skin/ok.xml");
    EXPECT_EQ(seen->lastLimit, ResourceStore::kMaxSkinFileBytes);
  }
}

TEST_F(SkinFiles, ArchiveFailuresReachTheSkinReaderAsTheirMessages) {
  const struct {
    ISkinArchive::ReadStatus archive;
    std::string data;
    const wchar_t* message;
  } cases[] = {
      {ISkinArchive::ReadStatus::Failed, "", L"Could not unzip file"},
      {ISkinArchive::ReadStatus::TooLarge, "", L"File too large"},
      {ISkinArchive::ReadStatus::Ok, "", L"File is empty"},
      {ISkinArchive::ReadStatus::NotFound, "", L"Could not find ziped file"},
  };
  for (const auto& c : cases) {
    ResourceStore::SetResourceZipArchive(std::make_unique<ScriptedArchive>(c.archive, c.data), false);
    CSkinMarkup markup;
    EXPECT_FALSE(markup.LoadSkinFile(L"launcher.xml"));
    EXPECT_STREQ(markup.GetLastErrorMessage(), c.message);
    EXPECT_STREQ(markup.GetLastErrorLocation(), L"");
  }
  ResourceStore::SetResourceZipArchive(
      std::make_unique<ScriptedArchive>(ISkinArchive::ReadStatus::Ok, "<Window/>"), false);
  CSkinMarkup markup;
  EXPECT_TRUE(markup.LoadSkinFile(L"launcher.xml"));
}

TEST_F(SkinFiles, FailedArchiveRegistrationsLeaveNoArchive) {
  EXPECT_FALSE(ResourceStore::SetResourceZipFile(L"missing.zip"));
  EXPECT_EQ(ResourceStore::GetResourceZip(), nullptr);
  Write("junk.zip", "this is not an archive");
  EXPECT_FALSE(ResourceStore::SetResourceZipFile(L"junk.zip"));
  EXPECT_EQ(ResourceStore::GetResourceZip(), nullptr);
  const unsigned char junk[] = "neither is this";
  EXPECT_FALSE(ResourceStore::SetResourceZipMemory(junk, sizeof junk));
  EXPECT_FALSE(ResourceStore::SetResourceZipMemory(nullptr, 0));
  EXPECT_EQ(ResourceStore::GetResourceZip(), nullptr);
  EXPECT_FALSE(ResourceStore::IsResourceZipMemBuffer());
  // Without an archive, folder reads go on working.
  Write("ok.xml", "x");
  EXPECT_EQ(Read(L"ok.xml"), SkinReadStatus::Ok);
}

TEST_F(SkinFiles, ModuleFolderIsTheProgramsFolder) {
  const std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
  EXPECT_EQ(GetModuleFolder(), Utf8ToWide(exe.substr(0, exe.rfind('/') + 1)));
}

}  // namespace
}  // namespace SkinUI

// The tool as package makers run it: a manifest the launcher's check
// accepts, and no file at all when the result would be incomplete.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "launcher/manifest/manifest_check.h"
#include "launcher/manifest/manifest_reader.h"

namespace fs = std::filesystem;

namespace {

class MkManifest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/mkmanifest.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
  }
  void TearDown() override {
    ::chmod((folder_ + "/locked.dll").c_str(), 0644);
    fs::remove_all(folder_);
  }
  void Write(const std::string& name, const std::string& text) {
    fs::create_directories(fs::path(folder_ + "/" + name).parent_path());
    std::ofstream(folder_ + "/" + name, std::ios::binary) << text;
  }
  int Run(const std::string& arguments) {
    int status = std::system((std::string(MKMANIFEST) + " " + arguments + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::vector<ManifestItem> Items() {
    std::ifstream in(folder_ + "/md5.json", std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<ManifestItem> items;
    EXPECT_EQ(ParseManifest(text, items), ManifestRead::kOk);
    return items;
  }
  std::wstring WideFolder() const { return std::wstring(folder_.begin(), folder_.end()); }

  std::string folder_;
};

TEST_F(MkManifest, WritesAManifestTheCheckAccepts) {
  Write("tarkel.shell.exe", "shell");
  Write("bin/libkit.so", "kit");
  Write("res/a.pak", "pak");
  ASSERT_EQ(Run(folder_), 0);
  EXPECT_EQ(Items().size(), 2u);
  EXPECT_EQ(CheckInstalledFiles(WideFolder(), L"tarkel.shell"), CROk);

  ASSERT_EQ(Run("--all " + folder_), 0);  // md5.json now exists and is not listed
  EXPECT_EQ(Items().size(), 3u);
  ASSERT_EQ(Run("--ext pak " + folder_), 0);
  ASSERT_EQ(Items().size(), 1u);
  EXPECT_EQ(Items()[0].file, "res\\a.pak");
}

TEST_F(MkManifest, RefusesAndWritesNothingWhenIncomplete) {
  EXPECT_EQ(Run("--help"), 0);
  EXPECT_NE(Run(""), 0);
  EXPECT_NE(Run(folder_ + "/missing"), 0);
  Write("notes.txt", "no libraries here");
  EXPECT_NE(Run(folder_), 0);
  EXPECT_FALSE(fs::exists(folder_ + "/md5.json"));
  if (::geteuid() != 0) {  // root reads anything
    Write("locked.dll", "x");
    ::chmod((folder_ + "/locked.dll").c_str(), 0);
    EXPECT_NE(Run(folder_), 0);
    EXPECT_FALSE(fs::exists(folder_ + "/md5.json"));
  }
}

}  // namespace

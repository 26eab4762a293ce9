// The maintenance actions without their choosers: what lands in md5.json,
// and the digest text, checked against md5sum.
#include "launcher/window/tool_dialogs.h"

#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "skinui/host_headless.h"
#include "support/test_env.h"

namespace {

namespace fs = std::filesystem;

void writeFile(const std::string& path, const std::string& data) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string md5sum(const std::string& path) {
  std::string digest;
  if (FILE* p = popen(("md5sum '" + path + "'").c_str(), "r")) {
    char buffer[64] = {};
    if (std::fgets(buffer, sizeof buffer, p) != nullptr) digest.assign(buffer, 32);
    pclose(p);
  }
  return digest;
}

// The working directory is the process's: no action may move it, since
// every relative path of the program (and of its worker threads) would move
// with it.
class ToolDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = fs::current_path();
    host_ = &SkinUI::UseHeadlessHost();
  }
  test_env::TempDir dir_;
  fs::path saved_;
  SkinUI::HeadlessEventLoop* host_ = nullptr;
};

TEST_F(ToolDialogs, TheFolderManifestListsProgramFilesWithTheirDigestsAndLeavesTheWorkingFolder) {
  writeFile(dir_ / "a.dll", "first library");
  writeFile(dir_ / "sub/b.so", "second library");
  writeFile(dir_ / "sub/run.exe", "program");
  writeFile(dir_ / "notes.txt", "not a program file");
  host_->SetChooserAnswer(dir_.path());
  GenerateManifest();
  EXPECT_EQ(host_->LastChooserRequest().action, SkinUI::FileChooserAction::SelectFolder);
  EXPECT_EQ(fs::current_path(), saved_);

  Json::Value array;
  std::istringstream text(readFile(dir_ / "md5.json"));
  ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), text, &array, nullptr)) << text.str();
  std::map<std::string, std::string> listed;
  for (const Json::Value& entry : array) listed[entry["file"].asString()] = entry["md5"].asString();
  // Names keep the manifest's backslash separators whatever the platform.
  const std::map<std::string, std::string> expected = {{"a.dll", md5sum(dir_ / "a.dll")},
                                                       {"sub\\b.so", md5sum(dir_ / "sub/b.so")},
                                                       {"sub\\run.exe", md5sum(dir_ / "sub/run.exe")}};
  EXPECT_EQ(listed, expected);
}

TEST_F(ToolDialogs, AFolderWithNothingToListGetsAnEmptyManifestAndAMissingOneFails) {
  writeFile(dir_ / "readme.txt", "text only");
  writeFile(dir_ / "md5.json", "stale content");
  ASSERT_TRUE(WriteFolderManifest(dir_.path()));
  EXPECT_EQ(readFile(dir_ / "md5.json"), "");
  EXPECT_FALSE(WriteFolderManifest(dir_ / "no-such-folder"));
  EXPECT_FALSE(fs::exists(dir_ / "no-such-folder"));
}

TEST_F(ToolDialogs, DigestTextMatchesMd5sumAndIsEmptyForAnUnreadableFile) {
  writeFile(dir_ / "file.bin", std::string(100000, '\x5a'));
  const std::string digest = md5sum(dir_ / "file.bin");
  EXPECT_EQ(FileMd5Text(dir_ / "file.bin"), std::wstring(digest.begin(), digest.end()));
  EXPECT_EQ(FileMd5Text(dir_ / "missing.bin"), L"");
}

TEST_F(ToolDialogs, ACancelledChooserDoesNothing) {
  writeFile(dir_ / "a.dll", "library");
  host_->SetChooserAnswer(std::nullopt);
  EXPECT_FALSE(ShowFileMd5().has_value());
  GenerateManifest();
  EXPECT_FALSE(fs::exists(dir_ / "md5.json"));
}

}  // namespace

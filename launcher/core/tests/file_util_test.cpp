#include "launcher/file_util.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "launcher/string_util.h"
#include "support/test_env.h"

namespace {

using test_env::Exists;
using test_env::MakeDir;
using test_env::TempDir;
using test_env::WriteFile;

std::wstring W(const std::string& text) {
  return Utf8ToWide(text);
}

class FileUtilTest : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(FileUtilTest, CreateParentDirectoriesMakesEveryFolderButTheFile) {
  std::string file = dir_.path() + "\\bin/Temp\\1.0.zip";
  EXPECT_TRUE(CreateParentDirectories(file));
  struct stat info;
  ASSERT_EQ(::stat((dir_ / "bin/Temp").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_FALSE(Exists(dir_ / "bin/Temp/1.0.zip"));
}

TEST_F(FileUtilTest, CreateParentDirectoriesOfBareOrEscapingNamesCreatesNothing) {
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(dir_.path().c_str()), 0);
  EXPECT_TRUE(CreateParentDirectories("file.zip"));
  EXPECT_TRUE(CreateParentDirectories("sub/../../escaped/file.zip"));
  EXPECT_TRUE(CreateParentDirectories(std::string(5000, 'a') + "/file"));
  EXPECT_TRUE(CreateParentDirectories(""));
  ASSERT_EQ(::chdir(cwd), 0);
  EXPECT_FALSE(Exists(dir_ / "file.zip"));
  EXPECT_FALSE(Exists(dir_ / "sub"));
  EXPECT_TRUE(PathExists(W(dir_.path()))) << "folder still there";
  EXPECT_FALSE(PathExists(W(dir_ / "*")));
}

TEST_F(FileUtilTest, PathExistsForFilesFoldersAndPatterns) {
  MakeDir(dir_ / "empty");
  MakeDir(dir_ / "x");
  WriteFile(dir_ / "x/1.0.zip", "z");
  WriteFile(dir_ / "x/[odd].txt", "t");
  EXPECT_TRUE(PathExists(W(dir_ / "empty")));
  EXPECT_TRUE(PathExists(W(dir_.path() + "\\x\\1.0.zip")));
  EXPECT_FALSE(PathExists(W(dir_ / "x/2.0.zip")));
  EXPECT_FALSE(PathExists(L""));

  EXPECT_TRUE(PathExists(W(dir_ / "x/*.zip")));
  EXPECT_TRUE(PathExists(W(dir_ / "x/?.0.zip")));
  EXPECT_TRUE(PathExists(W(dir_ / "x/[odd]*")));  // "[" is an ordinary character
  EXPECT_TRUE(PathExists(W(dir_ / "x/*.*")));
  EXPECT_FALSE(PathExists(W(dir_ / "x/*.exe")));
  EXPECT_FALSE(PathExists(W(dir_ / "x/??.0.zip")));
  EXPECT_FALSE(PathExists(W(dir_ / "empty/*")));    // "." and ".." are no matches
  EXPECT_FALSE(PathExists(W(dir_ / "*/1.0.zip")));  // wildcards only in the last part
  EXPECT_FALSE(PathExists(W(dir_ / "missing/*")));
}

TEST_F(FileUtilTest, CreateDirectoryTreeMakesAllMissingLevels) {
  EXPECT_TRUE(CreateDirectoryTree(W(dir_.path() + "\\a\\b\\")));
  EXPECT_TRUE(Exists(dir_ / "a/b"));
  EXPECT_TRUE(CreateDirectoryTree(W(dir_ / "a/b")));  // already there
  EXPECT_TRUE(CreateDirectoryTree(L"/"));
}

TEST_F(FileUtilTest, CreateDirectoryTreeRefusesFilesRelativeEscapingAndOverlongPaths) {
  WriteFile(dir_ / "file", "f");
  EXPECT_FALSE(CreateDirectoryTree(W(dir_ / "file")));
  EXPECT_FALSE(CreateDirectoryTree(W(dir_ / "file/sub")));
  EXPECT_FALSE(CreateDirectoryTree(L"relative"));
  EXPECT_FALSE(CreateDirectoryTree(L"relative/two"));
  EXPECT_FALSE(CreateDirectoryTree(L""));
  EXPECT_FALSE(CreateDirectoryTree(W(dir_ / "in/../../out")));
  EXPECT_FALSE(Exists(dir_ / "in"));
  EXPECT_FALSE(CreateDirectoryTree(W(dir_ / std::string(5000, 'd'))));
  // A single name longer than the file system allows.
  EXPECT_FALSE(CreateDirectoryTree(W(dir_ / std::string(300, 'n') + "/sub")));
}

TEST_F(FileUtilTest, DeleteDirectoryTreeRemovesNestedContentAndReadOnlyFiles) {
  MakeDir(dir_ / "v");
  MakeDir(dir_ / "v/sub");
  WriteFile(dir_ / "v/sub/a.dll", "a");
  WriteFile(dir_ / "v/readonly", "r");
  ASSERT_EQ(::chmod((dir_ / "v/readonly").c_str(), 0444), 0);
  EXPECT_TRUE(DeleteDirectoryTree(W(dir_.path() + "\\v\\")));
  EXPECT_FALSE(Exists(dir_ / "v"));
  EXPECT_TRUE(DeleteDirectoryTree(W(dir_ / "v")));  // missing counts as deleted
}

TEST_F(FileUtilTest, DeleteDirectoryTreeLeavesDotNamesAndTheirFolder) {
  MakeDir(dir_ / "v");
  MakeDir(dir_ / "v/inner");
  WriteFile(dir_ / "v/.keep", "k");
  WriteFile(dir_ / "v/inner/.hidden", "h");
  WriteFile(dir_ / "v/inner/gone", "g");
  EXPECT_FALSE(DeleteDirectoryTree(W(dir_ / "v")));
  EXPECT_TRUE(Exists(dir_ / "v/.keep"));
  EXPECT_TRUE(Exists(dir_ / "v/inner/.hidden"));
  EXPECT_FALSE(Exists(dir_ / "v/inner/gone"));
}

TEST_F(FileUtilTest, DeleteDirectoryTreeNeverFollowsLinksOutOfTheTree) {
  MakeDir(dir_ / "outside");
  WriteFile(dir_ / "outside/precious", "p");
  MakeDir(dir_ / "v");
  ASSERT_EQ(::symlink((dir_ / "outside").c_str(), (dir_ / "v/link").c_str()), 0);
  ASSERT_EQ(::symlink((dir_ / "outside/precious").c_str(), (dir_ / "v/filelink").c_str()), 0);
  EXPECT_TRUE(DeleteDirectoryTree(W(dir_ / "v")));
  EXPECT_FALSE(Exists(dir_ / "v"));
  EXPECT_EQ(test_env::ReadFile(dir_ / "outside/precious"), "p");

  // The folder itself being a link: nothing behind it is touched.
  ASSERT_EQ(::symlink((dir_ / "outside").c_str(), (dir_ / "toplink").c_str()), 0);
  EXPECT_FALSE(DeleteDirectoryTree(W(dir_ / "toplink")));
  EXPECT_FALSE(DeleteDirectoryTree(W(dir_ / "toplink/")));
  EXPECT_EQ(test_env::ReadFile(dir_ / "outside/precious"), "p");
}

TEST_F(FileUtilTest, DeleteDirectoryTreeRefusesFilesAndEscapingPaths) {
  WriteFile(dir_ / "file", "f");
  EXPECT_FALSE(DeleteDirectoryTree(W(dir_ / "file")));
  EXPECT_TRUE(Exists(dir_ / "file"));
  MakeDir(dir_ / "a");
  EXPECT_FALSE(DeleteDirectoryTree(W(dir_ / "a/..")));
  EXPECT_FALSE(DeleteDirectoryTree(W(dir_ / "a\\..\\")));
  EXPECT_TRUE(Exists(dir_ / "file"));
  EXPECT_FALSE(DeleteDirectoryTree(L""));
}

TEST_F(FileUtilTest, ReadOnlyFolderIsReportedAndLeftIntact) {
  MakeDir(dir_ / "v");
  MakeDir(dir_ / "v/locked");
  WriteFile(dir_ / "v/locked/data", "d");
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod((dir_ / "v").c_str(), 0777), 0);
  ASSERT_EQ(::chmod((dir_ / "v/locked").c_str(), 0555), 0);
  std::wstring path = W(dir_ / "v");
  int status = test_env::RunInChild(
      [&] {
        bool deleted = DeleteDirectoryTree(path);
        bool created = CreateDirectoryTree(W(dir_ / "v/locked/new"));
        return deleted || created ? 1 : 0;
      },
      /*asUnprivileged=*/true);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(test_env::ReadFile(dir_ / "v/locked/data"), "d");
}

}  // namespace

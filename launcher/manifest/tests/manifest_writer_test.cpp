#include "launcher/manifest/manifest_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "launcher/manifest/manifest_check.h"
#include "launcher/manifest/manifest_reader.h"
#include "launcher/manifest/md5.h"
#include "manifest_test_support.h"

using namespace manifesttest;

namespace {

std::vector<std::string> FilesOf(const Json::Value& array) {
  std::vector<std::string> files;
  for (const Json::Value& element : array) files.push_back(element["file"].asString());
  return files;
}

TEST(CollectManifestEntries, ListsOnlyExactExtensionsAndSkipsDotNames) {
  ScratchDir scratch;
  for (const char* name : {"a.dll", "b.txt", "C.DLL", "sub/d.exe", ".git/x.dll", ".x.dll", "lib/libkit.so",
                           "lib/libkit.so.1", "Makefile", "sub/deeper/e.Exe"}) {
    WriteFile(scratch / name, name);
  }
  Json::Value array(Json::arrayValue);
  LogCapture capture;
  EXPECT_EQ(CollectManifestEntries(scratch.path(), "", array, DefaultManifestExtensions()), 3);
  EXPECT_EQ(FilesOf(array), (std::vector<std::string>{"a.dll", "lib\\libkit.so", "sub\\d.exe"}));
  EXPECT_EQ(array[2]["md5"].asString(), Md5OfFile(scratch / "sub/d.exe"));
  EXPECT_NE(capture.Text().find("MD5File sub\\d.exe : " + Md5OfFile(scratch / "sub/d.exe")),
            std::string::npos);

  // A prefix names a sub-folder, with or without its trailing backslash.
  Json::Value sub(Json::arrayValue);
  EXPECT_EQ(CollectManifestEntries(scratch.path(), "sub", sub, {}), 2);
  EXPECT_EQ(FilesOf(sub), (std::vector<std::string>{"sub\\d.exe", "sub\\deeper\\e.Exe"}));
  EXPECT_EQ(CollectManifestEntries(scratch.path(), "missing\\", sub, {}), 0);
}

TEST(FormatManifest, StyledTabsCrLfFileBeforeMd5) {
  Json::Value array(Json::arrayValue);
  Json::Value element(Json::objectValue);
  element["file"] = "plugins\\x.dll";
  element["md5"] = "0123456789abcdef0123456789abcdef";
  array.append(element);
  EXPECT_EQ(FormatManifest(array),
            "[\r\n\t{\r\n\t\t\"file\" : \"plugins\\\\x.dll\",\r\n"
            "\t\t\"md5\" : \"0123456789abcdef0123456789abcdef\"\r\n\t}\r\n]\r\n");
}

TEST(FormatManifest, WrittenManifestPassesTheCheckAndCatchesDamage) {
  ScratchDir scratch;
  WriteFile(scratch / "tarkel.shell.exe", "shell");
  WriteFile(scratch / "bin/x.dll", "x");
  WriteFile(scratch / "bin/libcef.so", "cef");
  Json::Value array(Json::arrayValue);
  ASSERT_EQ(CollectManifestEntries(scratch.path(), "", array, DefaultManifestExtensions()), 3);
  WriteFile(scratch / "md5.json", FormatManifest(array));
  std::vector<ManifestItem> items;
  ASSERT_EQ(ParseManifest(ReadFile(scratch / "md5.json"), items), ManifestRead::kOk);
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].file, "bin\\libcef.so");
  EXPECT_EQ(CheckInstalledFiles(scratch.wide(), L"tarkel.shell"), CROk);
  WriteFile(scratch / "bin/libcef.so", "cef!");
  EXPECT_EQ(CheckInstalledFiles(scratch.wide(), L"tarkel.shell"), CRMd5Dismatch);
}

}  // namespace

#include "launcher/manifest/manifest_check.h"

#include <strings.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <vector>

#include "launcher/debug_log.h"
#include "launcher/file_util.h"
#include "launcher/manifest/manifest_reader.h"
#include "launcher/manifest/md5.h"
#include "launcher/string_util.h"

namespace {

constexpr wchar_t kManifestName[] = L"md5.json";

bool IsFolder(const std::wstring& path) {
  struct stat st;
  return ::stat(WideToAnsi(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReadWholeFile(const std::wstring& path, std::string& text) {
  std::ifstream in(WideToAnsi(path), std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool DigestsEqual(const std::string& listed, const std::string& computed) {
  return listed.size() == computed.size() && ::strcasecmp(listed.c_str(), computed.c_str()) == 0;
}

// Compares each usable item in order; the first difference decides.
int CheckItems(const std::string& base, const std::vector<ManifestItem>& items, const FileDigester& digestOf) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    const ManifestItem& item = items[i];
    if (!item.usable) {
      // Failing here would make every later check fail the same way and
      // the launcher download forever; the element cannot name a file.
      DebugLog("md5 entry %zu has no file or md5 text, skipped", i);
      continue;
    }
    // Backslashes between folder names are separators on disk too.
    const std::string digest = digestOf(base + ReplaceChar(item.file, "\\", "/"));
    if (!DigestsEqual(item.md5, digest)) {
      DebugLog("Md5 dismatch %s %s!=%s", item.file.c_str(), item.md5.c_str(), digest.c_str());
      return CRMd5Dismatch;
    }
  }
  return CROk;
}

}  // namespace

int CheckInstalledFiles(const std::wstring& versionFolder, const std::wstring& shellName,
                        const FileDigester& digestOf) {
  if (!IsFolder(versionFolder)) {
    DebugLog("CRNoDir %ls is not exist", versionFolder.c_str());
    return CRNoDir;
  }
  // The package format keeps the Windows executable name on every platform.
  const std::wstring exePath = versionFolder + L"/" + shellName + L".exe";
  if (!PathExists(exePath)) {
    DebugLog("CRNoExe %ls is not exist", exePath.c_str());
    return CRNoExe;
  }
  const std::wstring listPath = versionFolder + L"/" + kManifestName;
  if (!PathExists(listPath)) {
    DebugLog("CRNoList %ls is not exist", listPath.c_str());
    return CROk;
  }
  std::string text;
  std::vector<ManifestItem> items;
  const ManifestRead read =
      ReadWholeFile(listPath, text) ? ParseManifest(text, items) : ManifestRead::kUnparsable;
  if (read == ManifestRead::kUnparsable) {
    DebugLog("CRNoList %ls parse error", listPath.c_str());
    return CROk;
  }
  if (read == ManifestRead::kNotAList) {
    DebugLog("CRNoList %ls is not a list", listPath.c_str());
    return CROk;
  }
  DebugLog("check %d md5 files", static_cast<int>(items.size()));
  return CheckItems(WideToAnsi(versionFolder) + "/", items, digestOf);
}

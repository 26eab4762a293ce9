#include "launcher/manifest/manifest_check.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "launcher/debug_log.h"
#include "launcher/file_util.h"
#include "launcher/manifest/manifest_reader.h"
#include "launcher/manifest/md5.h"
#include "launcher/string_util.h"
#include "platform/unique_fd.h"

namespace {

constexpr wchar_t kManifestName[] = L"md5.json";

bool IsFolder(const std::wstring& path) {
  struct stat st;
  return ::stat(WideToAnsi(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DigestsEqual(const std::string& listed, const std::string& computed) {
  return listed.size() == computed.size() && ::strcasecmp(listed.c_str(), computed.c_str()) == 0;
}

// The digest of a listed file, reached from the version folder one name at
// a time without following links, so nothing outside the folder is ever
// read. A name that climbs out (a ".." or a leading separator) names no
// file of the version: "" like any file that cannot be read. Backslashes
// between folder names are separators too.
std::string DigestOfListedFile(int versionFolder, const std::string& file, const FileDigester& digestOf) {
  if (file.empty() || file[0] == '/' || file[0] == '\\') return std::string();
  std::vector<std::string> names;
  SplitString(ReplaceChar(file, "\\", "/"), "/", names);
  if (names.empty() || std::find(names.begin(), names.end(), "..") != names.end()) return std::string();
  platform::UniqueFd folder(::dup(versionFolder));
  for (std::size_t i = 0; i + 1 < names.size() && folder.get() >= 0; ++i) {
    folder.reset(::openat(folder.get(), names[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  }
  if (folder.get() < 0) return std::string();
  platform::UniqueFd listed(
      ::openat(folder.get(), names.back().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  return listed.get() < 0 ? std::string() : digestOf(listed.get());
}

// Compares each usable item in order; the first difference decides.
int CheckItems(int versionFolder, const std::vector<ManifestItem>& items, const FileDigester& digestOf) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    const ManifestItem& item = items[i];
    if (!item.usable) {
      // Failing here would make every later check fail the same way and
      // the launcher download forever; the element cannot name a file.
      DebugLog("md5 entry %zu has no file or md5 text, skipped", i);
      continue;
    }
    const std::string digest = DigestOfListedFile(versionFolder, item.file, digestOf);
    // A file that cannot be read differs, even from an empty listed digest.
    if (digest.empty() || !DigestsEqual(item.md5, digest)) {
      DebugLog("Md5 dismatch %s %s!=%s", item.file.c_str(), item.md5.c_str(), digest.c_str());
      return CRMd5Dismatch;
    }
  }
  return CROk;
}

// The manifest itself is read the same careful way: a FIFO or a link in
// its place counts as a manifest that cannot be read.
bool ReadManifest(int versionFolder, std::string& text) {
  platform::UniqueFd file(
      ::openat(versionFolder, "md5.json", O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info;
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  ::fcntl(file.get(), F_SETFL, 0);
  char block[8192];
  for (;;) {
    ssize_t got = ::read(file.get(), block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    text.append(block, static_cast<std::size_t>(got));
  }
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
  platform::UniqueFd folder(::open(WideToAnsi(versionFolder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  std::string text;
  std::vector<ManifestItem> items;
  const ManifestRead read =
      ReadManifest(folder.get(), text) ? ParseManifest(text, items) : ManifestRead::kUnparsable;
  if (read == ManifestRead::kUnparsable) {
    DebugLog("CRNoList %ls parse error", listPath.c_str());
    return CROk;
  }
  if (read == ManifestRead::kNotAList) {
    DebugLog("CRNoList %ls is not a list", listPath.c_str());
    return CROk;
  }
  DebugLog("check %d md5 files", static_cast<int>(items.size()));
  return CheckItems(folder.get(), items, digestOf);
}

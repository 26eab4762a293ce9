#include "launcher/data_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "launcher/debug_log.h"
#include "launcher/file_util.h"
#include "launcher/string_util.h"
#include "platform/app_data_folder.h"
#include "tree_delete.h"

namespace {

// A file name on disk is at most 255 bytes; ".zip" is added to versions.
constexpr std::size_t kMaxNameBytes = 255 - 4;

constexpr const char* kShellItems[] = {"Config.ini", "config.json", "userdata"};

bool isShellItem(const std::string& name) {
  for (const char* item : kShellItems) {
    if (name == item) return true;
  }
  return false;
}

}  // namespace

std::optional<std::wstring> LocalAppDataFolder() {
  std::optional<std::string> folder = platform::LocalAppDataFolder();
  if (!folder) return std::nullopt;
  return Utf8ToWide(*folder);
}

bool IsPlainName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  if (WideToUtf8(name).rfind(launcher_tree::kDiscardPrefix, 0) == 0) return false;
  if (name.find_first_of(L"/\\") != std::wstring::npos || name.find(L'\0') != std::wstring::npos)
    return false;
  return WideToUtf8(name).size() <= kMaxNameBytes;
}

std::optional<std::wstring> ClientDataFolder(const std::wstring& shellName) {
  if (!IsPlainName(shellName)) return std::nullopt;
  std::optional<std::wstring> root = LocalAppDataFolder();
  if (!root) return std::nullopt;
  return *root + L"/" + shellName;
}

std::optional<std::wstring> VersionFolder(const std::wstring& version, const std::wstring& shellName) {
  std::optional<std::wstring> app = ClientDataFolder(shellName);
  if (!app || !IsPlainName(version)) return std::nullopt;
  return *app + L"/bin/" + version;
}

std::optional<std::wstring> PackageFolder(const std::wstring& shellName) {
  std::optional<std::wstring> app = ClientDataFolder(shellName);
  if (!app) return std::nullopt;
  return *app + L"/bin/Temp";
}

std::optional<std::wstring> PackagePath(const std::wstring& version, const std::wstring& shellName) {
  std::optional<std::wstring> folder = PackageFolder(shellName);
  if (!folder || !IsPlainName(version)) return std::nullopt;
  return *folder + L"/" + version + L".zip";
}

// The shell's items are never copied out to <LocalAppData> and back: they
// simply stay in place while everything around them is deleted. That keeps a
// "userdata" folder whole without a recursive copy, cannot bring back an
// older item of the same name lying in <LocalAppData>, never touches what
// other programs keep there, and loses nothing if the reset is interrupted.
// Everything else is discarded (renamed aside, then deleted), so a reset cut
// short by a kill never leaves a version folder half deleted under its name.
void FixDirApp(const std::wstring& shellName) {
  std::optional<std::wstring> rootFolder = LocalAppDataFolder();
  if (!rootFolder || !IsPlainName(shellName)) return;
  std::wstring root = *rootFolder + L"/";
  std::wstring app = root + shellName + L"/";
  DebugLog("FixDirApp %ls %ls", app.c_str(), root.c_str());

  std::string appPath = WideToAnsi(app);
  int fd = launcher_tree::OpenFolderNoFollow(appPath);
  if (fd < 0) {
    if (errno == ENOENT) {
      if (!CreateDirectoryTree(app)) DebugLog("FixDirApp can't create %ls", app.c_str());
    } else {
      // A file or a link in the folder's place is left alone: whatever it
      // is, it is not ours to delete.
      DebugLog("FixDirApp skip %ls: %s", app.c_str(), std::strerror(errno));
    }
    return;
  }
  launcher_tree::ClearDiscarded(fd);
  if (!launcher_tree::DiscardEntries(fd, isShellItem)) DebugLog("FixDirApp left items in %ls", app.c_str());
  ::close(fd);
}

void ClearDiscardLeftovers(const std::wstring& shellName) {
  std::optional<std::wstring> app = ClientDataFolder(shellName);
  if (!app) return;
  for (const std::wstring& folder : {*app, *app + L"/bin"}) {
    int fd = launcher_tree::OpenFolderNoFollow(WideToAnsi(folder));
    if (fd < 0) continue;
    if (!launcher_tree::ClearDiscarded(fd))
      DebugLog("can't clear what was being deleted in %ls", folder.c_str());
    ::close(fd);
  }
}

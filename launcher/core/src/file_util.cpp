#include "launcher/file_util.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "launcher/string_util.h"
#include "path_text.h"
#include "platform/unique_fd.h"
#include "tree_delete.h"

namespace {

using launcher_path::HasParentReference;
using launcher_path::kMaxPathBytes;
using launcher_path::ToDiskPath;

bool isFolder(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Only "*" and "?" are special, as in the patterns callers write; "[" and
// "\" are ordinary characters in names on disk.
bool wildcardMatch(const char* pattern, const char* name) {
  const char* star = nullptr;
  const char* resume = nullptr;
  while (*name != '\0') {
    if (*pattern == '?' || (*pattern != '*' && *pattern == *name)) {
      ++pattern, ++name;
    } else if (*pattern == '*') {
      star = pattern++;
      resume = name;
    } else if (star != nullptr) {
      pattern = star + 1;
      name = ++resume;
    } else {
      return false;
    }
  }
  while (*pattern == '*') ++pattern;
  return *pattern == '\0';
}

bool anyMatch(const std::string& diskPath) {
  std::size_t slash = diskPath.rfind('/');
  std::string folder = slash == std::string::npos ? "." : diskPath.substr(0, slash == 0 ? 1 : slash);
  std::string pattern = slash == std::string::npos ? diskPath : diskPath.substr(slash + 1);
  // Wildcards only work in the last component.
  if (folder.find_first_of("*?") != std::string::npos) return false;
  // "*.*" is the everything-pattern of callers used to names without dots.
  if (pattern == "*.*") pattern = "*";
  platform::UniqueFolderStream dir(::opendir(folder.c_str()));
  if (!dir) return false;
  while (const dirent* entry = ::readdir(dir.get())) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (wildcardMatch(pattern.c_str(), name.c_str())) return true;
  }
  return false;
}

}  // namespace

bool CreateParentDirectories(const std::string& path) {
  std::string diskPath = ToDiskPath(path);
  if (diskPath.size() > kMaxPathBytes || HasParentReference(diskPath)) return true;
  std::vector<std::string> pieces;
  SplitString(diskPath, "/", pieces);
  // An absolute path starts at the root, which plays the drive's part: only
  // the folders between it and the file name are made.
  std::string prefix = !diskPath.empty() && diskPath[0] == '/' ? "" : ".";
  for (std::size_t i = 0; i + 1 < pieces.size(); ++i) {
    prefix += "/" + pieces[i];
    struct stat info;
    if (::lstat(prefix.c_str(), &info) != 0) ::mkdir(prefix.c_str(), 0777);
  }
  return true;
}

bool PathExists(const std::wstring& path) {
  std::string diskPath = ToDiskPath(path);
  if (diskPath.empty() || diskPath.size() > kMaxPathBytes) return false;
  if (diskPath.find_first_of("*?") != std::string::npos) return anyMatch(diskPath);
  struct stat info;
  return ::stat(diskPath.c_str(), &info) == 0;
}

namespace {

bool createTree(std::string path) {
  if (path.size() >= 2 && path.back() == '/') path.pop_back();
  if (path.empty()) return false;
  if (path == "/") return isFolder(path);
  if (isFolder(path)) return true;
  std::size_t slash = path.rfind('/');
  // A relative single name has no anchor; it is never created.
  if (slash == std::string::npos) return false;
  std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  if (!createTree(parent)) return false;
  return ::mkdir(path.c_str(), 0777) == 0;
}

}  // namespace

bool CreateDirectoryTree(const std::wstring& path) {
  std::string diskPath = ToDiskPath(path);
  if (diskPath.size() > kMaxPathBytes || HasParentReference(diskPath)) return false;
  return createTree(diskPath);
}

bool DeleteDirectoryTree(const std::wstring& path) {
  std::string diskPath = ToDiskPath(path);
  if (diskPath.empty() || diskPath.size() > kMaxPathBytes || HasParentReference(diskPath)) return false;
  int fd = launcher_tree::OpenFolderNoFollow(diskPath);
  if (fd < 0) {
    // Only a folder that is really not there counts as deleted; a file, a
    // link or an unreadable folder in its place is a failure, not success.
    return errno == ENOENT;
  }
  // Files without write permission need no special step here: removing a
  // name depends on the folder's permission, not the file's.
  launcher_tree::DeleteEntries(fd, [](const std::string&) { return false; });
  ::close(fd);
  while (diskPath.size() > 1 && diskPath.back() == '/') diskPath.pop_back();
  return ::rmdir(diskPath.c_str()) == 0;
}

namespace {

// The folder above path's last component, opened, and that component's name.
int openParentOf(const std::wstring& path, std::string& name) {
  std::string diskPath = ToDiskPath(path);
  if (diskPath.empty() || diskPath.size() > kMaxPathBytes || HasParentReference(diskPath)) return -1;
  while (diskPath.size() > 1 && diskPath.back() == '/') diskPath.pop_back();
  const std::size_t slash = diskPath.rfind('/');
  if (slash == std::string::npos) return -1;
  name = diskPath.substr(slash + 1);
  if (name.empty() || name == ".") return -1;
  return ::open(slash == 0 ? "/" : diskPath.substr(0, slash).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

}  // namespace

bool DiscardDirectoryTree(const std::wstring& path) {
  std::string name;
  const int parent = openParentOf(path, name);
  if (parent < 0) return errno == ENOENT && !name.empty();
  const bool gone = launcher_tree::DiscardEntry(parent, name);
  ::close(parent);
  return gone;
}

bool CreateDirectoryTreeNoLink(const std::wstring& path) {
  const int fd = launcher_tree::OpenFolderNoFollow(ToDiskPath(path));
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  if (errno != ENOENT && !DiscardDirectoryTree(path)) return false;
  if (!CreateDirectoryTree(path)) return false;
  // Made by us a moment ago; a link put there meanwhile is still refused.
  const int made = launcher_tree::OpenFolderNoFollow(ToDiskPath(path));
  if (made < 0) return false;
  ::close(made);
  return true;
}

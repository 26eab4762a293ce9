#include "tree_delete.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "platform/unique_fd.h"

namespace launcher_tree {
namespace {

// Each level holds one descriptor; a tree deeper than this is left in place
// (and reported as not deleted) rather than exhausting descriptors.
constexpr int kMaxDepth = 128;

// Names are read first and deleted afterwards: removing entries while the
// directory stream walks them may skip some.
std::vector<std::string> listNames(int dirFd) {
  std::vector<std::string> names;
  platform::UniqueFd copy(::dup(dirFd));
  if (!copy.valid()) return names;
  platform::UniqueFolderStream dir(::fdopendir(copy.get()));
  if (!dir) return names;
  copy.release();  // the stream owns it now
  ::rewinddir(dir.get());
  while (const dirent* entry = ::readdir(dir.get())) names.emplace_back(entry->d_name);
  return names;
}

bool deleteFolderAt(int parentFd, const std::string& name, DotNames dots, int depth) {
  if (depth >= kMaxDepth) return false;
  platform::UniqueFd folder(
      ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (folder.get() < 0) return errno == ENOENT;
  DeleteEntries(
      folder.get(), [](const std::string&) { return false; }, dots, depth + 1);
  return ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0;
}

// Deletes one entry of dirFd, whatever it is; a missing one counts as gone.
bool deleteEntryAt(int dirFd, const std::string& name, DotNames dots, int depth) {
  struct stat info;
  if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return errno == ENOENT;
  if (S_ISDIR(info.st_mode)) return deleteFolderAt(dirFd, name, dots, depth);
  return ::unlinkat(dirFd, name.c_str(), 0) == 0 || errno == ENOENT;
}

bool isDiscardName(const std::string& name) {
  return name.rfind(kDiscardPrefix, 0) == 0;
}

// Renames name to a discard name nobody uses yet; the new name, or "" when
// the rename failed (errno set; ENOENT when name was not there).
std::string renameAside(int dirFd, const std::string& name) {
  static std::atomic<unsigned> sequence{0};
  for (int attempt = 0; attempt < 64; ++attempt) {
    std::string aside = std::string(kDiscardPrefix) + std::to_string(::getpid()) + "-" +
                        std::to_string(sequence.fetch_add(1));
    if (::renameat2(dirFd, name.c_str(), dirFd, aside.c_str(), RENAME_NOREPLACE) == 0) return aside;
    // A leftover of an earlier process that had our pid: take the next.
    if (errno == EEXIST) continue;
    if (errno != EINVAL) return std::string();
    // The file system cannot refuse to replace: look first.
    struct stat info;
    if (::fstatat(dirFd, aside.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) continue;
    return ::renameat(dirFd, name.c_str(), dirFd, aside.c_str()) == 0 ? aside : std::string();
  }
  errno = EEXIST;
  return std::string();
}

}  // namespace

int OpenFolderNoFollow(const std::string& path) {
  std::string trimmed = path;
  // A trailing slash would make the kernel follow a final link.
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  return ::open(trimmed.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool DeleteEntries(int dirFd, const std::function<bool(const std::string&)>& keep, DotNames dots, int depth) {
  bool allGone = true;
  for (const std::string& name : listNames(dirFd)) {
    if (name.empty() || name == "." || name == "..") continue;
    if (name[0] == '.' && dots == DotNames::kLeave) {
      allGone = false;
      continue;
    }
    if (keep(name)) continue;
    allGone = deleteEntryAt(dirFd, name, dots, depth) && allGone;
  }
  return allGone;
}

bool DiscardEntry(int dirFd, const std::string& name) {
  const std::string aside = renameAside(dirFd, name);
  if (aside.empty()) return errno == ENOENT;
  // Everything under the discard name is ours to delete, hidden items too;
  // whatever stays is cleared at a later start.
  deleteEntryAt(dirFd, aside, DotNames::kDelete, 0);
  return true;
}

bool DiscardEntries(int dirFd, const std::function<bool(const std::string&)>& keep) {
  bool allGone = true;
  for (const std::string& name : listNames(dirFd)) {
    if (name.empty() || name == "." || name == ".." || keep(name)) continue;
    if (name[0] == '.') {
      allGone = false;
      continue;
    }
    allGone = DiscardEntry(dirFd, name) && allGone;
  }
  return allGone;
}

bool ClearDiscarded(int dirFd) {
  bool allGone = true;
  for (const std::string& name : listNames(dirFd)) {
    if (isDiscardName(name)) allGone = deleteEntryAt(dirFd, name, DotNames::kDelete, 0) && allGone;
  }
  return allGone;
}

}  // namespace launcher_tree

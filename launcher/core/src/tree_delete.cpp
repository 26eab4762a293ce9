#include "tree_delete.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace launcher_tree {
namespace {

// Each level holds one descriptor; a tree deeper than this is left in place
// (and reported as not deleted) rather than exhausting descriptors.
constexpr int kMaxDepth = 128;

class FdOwner {
 public:
  explicit FdOwner(int fd) : fd_(fd) {}
  ~FdOwner() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdOwner(const FdOwner&) = delete;
  FdOwner& operator=(const FdOwner&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Names are read first and deleted afterwards: removing entries while the
// directory stream walks them may skip some.
std::vector<std::string> listNames(int dirFd) {
  std::vector<std::string> names;
  int copy = ::dup(dirFd);
  if (copy < 0) return names;
  DIR* dir = ::fdopendir(copy);
  if (dir == nullptr) {
    ::close(copy);
    return names;
  }
  ::rewinddir(dir);
  while (const dirent* entry = ::readdir(dir)) names.emplace_back(entry->d_name);
  ::closedir(dir);
  return names;
}

bool deleteFolderAt(int parentFd, const std::string& name, int depth) {
  if (depth >= kMaxDepth) return false;
  FdOwner folder(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (folder.get() < 0) return errno == ENOENT;
  DeleteEntries(folder.get(), [](const std::string&) { return false; }, depth + 1);
  return ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR) == 0;
}

}  // namespace

int OpenFolderNoFollow(const std::string& path) {
  std::string trimmed = path;
  // A trailing slash would make the kernel follow a final link.
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  return ::open(trimmed.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

bool DeleteEntries(int dirFd, const std::function<bool(const std::string&)>& keep, int depth) {
  bool allGone = true;
  for (const std::string& name : listNames(dirFd)) {
    if (name.empty() || name[0] == '.') {
      // Dot names are left alone ("." and "..", and hidden items too).
      if (name != "." && name != "..") allGone = false;
      continue;
    }
    if (keep(name)) continue;
    struct stat info;
    if (::fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      if (errno != ENOENT) allGone = false;
      continue;
    }
    bool gone = S_ISDIR(info.st_mode) ? deleteFolderAt(dirFd, name, depth)
                                      : ::unlinkat(dirFd, name.c_str(), 0) == 0 || errno == ENOENT;
    allGone = allGone && gone;
  }
  return allGone;
}

}  // namespace launcher_tree

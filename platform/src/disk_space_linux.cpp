#include "platform/disk_space.h"

#include <sys/statvfs.h>

#include <cerrno>

namespace platform {

std::optional<uint64_t> FreeDiskBytes(const std::string& path) {
  if (path.empty()) return std::nullopt;
  std::string current = path;
  for (;;) {
    struct statvfs info;
    if (::statvfs(current.c_str(), &info) == 0) {
      return static_cast<uint64_t>(info.f_bavail) * static_cast<uint64_t>(info.f_frsize);
    }
    // Only a missing part of the path sends us one level up; a permission
    // or length problem is a real failure.
    if ((errno != ENOENT && errno != ENOTDIR) || current == "/") return std::nullopt;
    while (current.size() > 1 && current.back() == '/') current.pop_back();
    std::size_t slash = current.rfind('/');
    if (slash == std::string::npos) {
      if (current == ".") return std::nullopt;
      current = ".";
    } else {
      current = slash == 0 ? "/" : current.substr(0, slash);
    }
  }
}

}  // namespace platform

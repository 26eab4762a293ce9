#include "path_text.h"

#include "launcher/string_util.h"

namespace launcher_path {

std::string ToDiskPath(const std::string& path) {
  return ReplaceChar(path, "\\", "/");
}

std::string ToDiskPath(const std::wstring& path) {
  return ToDiskPath(WideToAnsi(path));
}

bool HasParentReference(const std::string& diskPath) {
  std::size_t start = 0;
  while (start <= diskPath.size()) {
    std::size_t end = diskPath.find('/', start);
    if (end == std::string::npos) end = diskPath.size();
    if (diskPath.compare(start, end - start, "..") == 0) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace launcher_path

#include "zip_entry_path.h"

#include <climits>

namespace {

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

const char* SplitEntryPath(const std::string& name, ZipEntryPath& path) {
  path = ZipEntryPath();
  if (name.empty()) return "empty name";
  if (name.find('\0') != std::string::npos) return "NUL in name";
  if (IsSeparator(name[0])) return "absolute name";
  if (name.size() >= 2 && IsAsciiLetter(name[0]) && name[1] == ':') return "drive letter";
  if (name.size() >= PATH_MAX) return "name too long";
  std::size_t start = 0;
  while (start <= name.size()) {
    std::size_t end = start;
    while (end < name.size() && !IsSeparator(name[end])) ++end;
    const std::string component = name.substr(start, end - start);
    if (component == "..") return "climbs out of the destination";
    if (component.size() > NAME_MAX) return "name too long";
    if (!component.empty() && component != ".") path.components.push_back(component);
    start = end + 1;
  }
  path.endsWithSeparator = IsSeparator(name.back());
  return nullptr;
}

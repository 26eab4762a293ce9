#pragma once
// Internal: turning the helpers' path arguments into on-disk paths.
#include <string>

namespace launcher_path {

// Backslashes become "/"; runs of separators stay as they are.
std::string ToDiskPath(const std::string& path);
std::string ToDiskPath(const std::wstring& path);

// True when some component is exactly "..".
bool HasParentReference(const std::string& diskPath);

// Longer paths are refused before they reach the system (and the recursion
// of the tree helpers stays bounded by it).
constexpr std::size_t kMaxPathBytes = 4095;

}  // namespace launcher_path

#pragma once
// Free space of the file system a path lives on.
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

// Bytes available to this (unprivileged) user on the file system holding
// path, or on that of its nearest existing ancestor when path does not exist
// yet. Empty when nothing along the path can be queried.
std::optional<uint64_t> FreeDiskBytes(const std::string& path);

}  // namespace platform

#pragma once
// The current user's local application-data folder.
#include <optional>
#include <string>

namespace platform {

// $XDG_DATA_HOME when it is an absolute path, else $HOME/.local/share when
// HOME is absolute. No trailing slash. Empty when neither can be used or the
// result would be longer than a path may be; the folder need not exist.
std::optional<std::string> LocalAppDataFolder();

}  // namespace platform

#include "platform/app_data_folder.h"

#include <climits>
#include <cstdlib>

namespace platform {
namespace {

// Relative values are ignored as the desktop base-directory rules ask: they
// would make the folder depend on whatever directory the launcher started in.
std::optional<std::string> absoluteEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != '/') return std::nullopt;
  std::string path(value);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

}  // namespace

std::optional<std::string> LocalAppDataFolder() {
  std::optional<std::string> folder = absoluteEnv("XDG_DATA_HOME");
  if (!folder) {
    folder = absoluteEnv("HOME");
    if (!folder) return std::nullopt;
    if (*folder == "/") folder->clear();
    *folder += "/.local/share";
  }
  // Leave room for the data folder's own names below it.
  if (folder->size() >= PATH_MAX / 2) return std::nullopt;
  return folder;
}

}  // namespace platform

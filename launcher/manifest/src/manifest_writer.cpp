#include "launcher/manifest/manifest_writer.h"

#include <dirent.h>
#include <json/writer.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <vector>

#include "launcher/debug_log.h"
#include "launcher/manifest/md5.h"
#include "launcher/string_util.h"
#include "platform/unique_fd.h"

namespace {

// Names in the folder, sorted so that a manifest does not depend on the
// order the file system happens to keep.
bool ListFolder(const std::string& folder, std::vector<std::string>& names) {
  platform::UniqueFolderStream dir(::opendir(folder.c_str()));
  if (!dir) return false;
  while (const dirent* entry = ::readdir(dir.get())) names.emplace_back(entry->d_name);
  std::sort(names.begin(), names.end());
  return true;
}

bool Listed(const std::string& name, const ManifestExtensions& extensions) {
  if (extensions.empty()) return true;
  const std::size_t dot = name.rfind('.');
  return dot != std::string::npos && extensions.count(name.substr(dot + 1)) > 0;
}

}  // namespace

ManifestExtensions DefaultManifestExtensions() {
  return {"dll", "exe", "so"};
}

int CollectManifestEntries(const std::string& root, const std::string& prefix, Json::Value& array,
                           const ManifestExtensions& extensions) {
  std::string listedPrefix = prefix;
  if (!listedPrefix.empty() && listedPrefix.back() != '\\') listedPrefix += '\\';
  const std::string diskPrefix = root + "/" + ReplaceChar(listedPrefix, "\\", "/");
  std::vector<std::string> names;
  if (!ListFolder(diskPrefix, names)) return 0;
  int count = 0;
  for (const std::string& name : names) {
    if (name[0] == '.') continue;
    // On disk a backslash is an ordinary character, in "file" a separator:
    // such a name could never be checked.
    if (name.find('\\') != std::string::npos) {
      DebugLog("MD5File skipped %s%s: backslash in name", listedPrefix.c_str(), name.c_str());
      continue;
    }
    struct stat st;
    if (::lstat((diskPrefix + name).c_str(), &st) != 0) continue;
    // Linked folders are not followed: a link cycle would never end.
    if (S_ISDIR(st.st_mode)) {
      count += CollectManifestEntries(root, listedPrefix + name, array, extensions);
      continue;
    }
    if (S_ISLNK(st.st_mode) && (::stat((diskPrefix + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))) {
      continue;
    }
    if (!S_ISREG(st.st_mode) || !Listed(name, extensions)) continue;
    const std::string path = listedPrefix + name;
    const std::string digest = Md5OfFile(diskPrefix + name);
    Json::Value element(Json::objectValue);
    element["file"] = path;
    element["md5"] = digest;
    DebugLog("MD5File %s : %s", path.c_str(), digest.c_str());
    array.append(element);
    ++count;
  }
  return count;
}

std::string FormatManifest(const Json::Value& array) {
  std::ostringstream styled;
  Json::StyledStreamWriter writer("\t");
  writer.write(styled, array);
  // The writer ends lines with "\n" only; the files have always had CR LF.
  // Strings are escaped, so every "\n" here is a line end.
  return ReplaceChar(styled.str(), "\n", "\r\n");
}

#include <sys/stat.h>

#include <algorithm>

#include "platform/utf8.h"
#include "zip/zip_reader.h"
#include "zip_log_line.h"

namespace {

// Backslashes in entry names are separators on disk too.
void ReportFileWritten(ZipReader& reader, int index, const std::string& root,
                       const std::function<void(const std::string& path)>& fileWritten) {
  ZipEntry entry;
  if (reader.GetEntry(index, entry) != kZipOk || entry.IsFolder()) return;
  std::string name = entry.name;
  std::replace(name.begin(), name.end(), '\\', '/');
  std::string path = root + "/" + name;
  if (path.back() != '/') fileWritten(path);
}

}  // namespace

int UnzipToFolder(const std::wstring& zipPath, const std::wstring& destination,
                  const std::function<void(const std::string& path)>& fileWritten) {
  if (destination.empty()) return 0;
  ZipReader reader;
  if (reader.OpenFile(zipPath) != kZipOk) return 0;
  std::string root = platform::WideToUtf8(destination);
  // Only the last level is created: the caller owns the folders above it.
  ::mkdir(root.c_str(), 0777);
  // A link in the destination's place would send the package elsewhere.
  struct stat info;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  if (::lstat(root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    ZipLog("unzip destination %s is not a folder", root.c_str());
    return 0;
  }
  reader.SetRootFolder(root);
  const int count = reader.EntryCount();
  int failed = 0;
  for (int i = 0; i < count; ++i) {
    if (reader.ExtractEntry(i) != kZipOk) {
      ++failed;
    } else if (fileWritten) {
      ReportFileWritten(reader, i, root, fileWritten);
    }
  }
  if (failed > 0) ZipLog("unzip %d of %d entries failed", failed, count);
  return count;
}

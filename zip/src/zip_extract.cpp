// Extraction of one entry below the root folder.
//
// The path is walked one folder at a time with descriptors opened relative
// to the previous one and O_NOFOLLOW, so neither a crafted name nor a link
// already lying in the destination (nor a link in the root's place) can
// lead a write outside it, and nothing but a regular file is ever written. A
// file whose data fails (read, inflate, CRC, write) is removed rather than
// left behind looking complete.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

#include "platform/unique_fd.h"
#include "zip/zip_reader.h"
#include "zip_entry_path.h"
#include "zip_entry_stream.h"
#include "zip_log_line.h"
#include "zip_records.h"

namespace {

constexpr std::size_t kCopyBlock = 64 * 1024;

// The root itself must be a folder, not a link to one: a link planted in
// its place would send every entry elsewhere.
int OpenRootFolder(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();  // a final "/" would follow a link
  return ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Creates (or truncates) a regular file. Never blocks on what is in its
// place: a FIFO would hold the open until somebody reads it, so the open is
// non-blocking and anything but a regular file is refused.
int CreateRegularFile(int parent, const std::string& name, mode_t mode) {
  platform::UniqueFd fd(::openat(parent, name.c_str(),
                                 O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode));
  struct stat st;
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
  return fd.release();
}

// Opens (creating when missing) the folder name inside parent.
int OpenChildFolder(int parent, const std::string& name) {
  const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::openat(parent, name.c_str(), flags);
  if (fd < 0 && errno == ENOENT) {
    ::mkdirat(parent, name.c_str(), 0777);  // a racing creator is fine too
    fd = ::openat(parent, name.c_str(), flags);
  }
  return fd;
}

// Descends from root through components[0, count); -1 on failure.
int OpenFolderChain(const std::string& root, const std::vector<std::string>& components, std::size_t count) {
  platform::UniqueFd current(OpenRootFolder(root));
  for (std::size_t i = 0; i < count && current.get() >= 0; ++i) {
    current.reset(OpenChildFolder(current.get(), components[i]));
  }
  return current.release();
}

bool WriteAll(int fd, const unsigned char* data, std::size_t length) {
  while (length > 0) {
    ssize_t written = ::write(fd, data, length);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    length -= static_cast<std::size_t>(written);
  }
  return true;
}

// The first bytes of an entry's data, enough to tell a program.
struct ContentHead {
  unsigned char bytes[4] = {};
  std::size_t size = 0;

  void Take(const unsigned char* data, std::size_t length) {
    while (size < sizeof bytes && length-- > 0) bytes[size++] = *data++;
  }
  // An ELF image or a "#!" script: content whose only use is to be run.
  bool IsProgram() const {
    static constexpr unsigned char kElf[] = {0x7f, 'E', 'L', 'F'};
    return (size >= 4 && std::memcmp(bytes, kElf, 4) == 0) ||
           (size >= 2 && bytes[0] == '#' && bytes[1] == '!');
  }
};

// Read-only entries lose their write bits. Unix-made entries keep their
// execute bits exactly as recorded. An entry made without Unix attributes
// (on Windows, say) has no execute bits to keep, so the shell inside a
// package zipped there could never start; such an entry gets them only
// when its content is a program, so no data file ever becomes executable.
void ApplyMode(int fd, const ZipEntry& entry, const ContentHead& head) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return;
  mode_t mode = st.st_mode & 07777;
  const bool executable = entry.unixMode == 0 ? head.IsProgram() : (entry.unixMode & 0111) != 0;
  if (executable) mode |= (mode & 0444) >> 2;
  if (entry.attributes & kZipAttrReadOnly) mode &= ~static_cast<mode_t>(0222);
  if (mode != (st.st_mode & 07777)) ::fchmod(fd, mode);
}

void ApplyTimes(int fd, const ZipEntry& entry) {
  struct timespec times[2] = {};
  times[0].tv_sec = static_cast<time_t>(entry.accessTime);
  times[1].tv_sec = static_cast<time_t>(entry.modificationTime);
  ::futimens(fd, times);
}

}  // namespace

ZipResult ZipReader::ExtractEntry(int index) {
  closeEntry();
  if (!IsOpen() || index < 0 || index >= EntryCount()) return kZipBadArgs;
  ZipEntry entry;
  if (ZipResult described = GetEntry(index, entry); described != kZipOk) return described;

  ZipEntryPath path;
  const char* refusal = SplitEntryPath(entry.name, path);
  if (!refusal && rootFolder_.size() + 1 + entry.name.size() >= PATH_MAX) refusal = "name too long";
  if (!refusal && entry.IsSymlink()) refusal = "symbolic link";
  if (!refusal && records_[static_cast<std::size_t>(index)].overlaps) refusal = kOverlapRefusal;
  const bool folder = entry.IsFolder() || path.endsWithSeparator;
  if (!refusal && !folder && path.components.empty()) refusal = "no file name";
  if (refusal) {
    ZipLog("unzip refused %s: %s", entry.name.c_str(), refusal);
    return kZipRefused;
  }

  const std::size_t folderCount = folder ? path.components.size() : path.components.size() - 1;
  platform::UniqueFd parent(OpenFolderChain(rootFolder_, path.components, folderCount));
  if (parent.get() < 0) {
    ZipLog("unzip cannot create the folders of %s in %s", entry.name.c_str(), rootFolder_.c_str());
    return kZipNoFile;
  }
  if (folder) return kZipOk;

  const std::string& fileName = path.components.back();
  struct stat existing;
  // A read-only file left by an earlier unpack is not replaced: the update
  // worker empties the folder first, and anything else means a mix-up.
  if (::fstatat(parent.get(), fileName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 &&
      S_ISREG(existing.st_mode) && !(existing.st_mode & S_IWUSR)) {
    ZipLog("unzip cannot replace read-only %s", entry.name.c_str());
    return kZipNoFile;
  }
  platform::UniqueFd file(CreateRegularFile(parent.get(), fileName, (entry.unixMode & 0111) ? 0777 : 0666));
  if (file.get() < 0) {
    ZipLog("unzip cannot create %s in %s", entry.name.c_str(), rootFolder_.c_str());
    return kZipNoFile;
  }

  ZipResult result = openEntry(index);
  std::vector<unsigned char> block(kCopyBlock);
  ContentHead head;
  while (result == kZipOk && !entryStream_->Finished()) {
    std::size_t got = 0;
    result = entryStream_->Read(block.data(), block.size(), got);
    head.Take(block.data(), got);
    if (!WriteAll(file.get(), block.data(), got)) result = kZipWriteFailed;
  }
  closeEntry();
  if (result != kZipOk) {
    ZipLog("unzip of %s failed 0x%x, partial file removed", entry.name.c_str(), result);
    file.reset();
    ::unlinkat(parent.get(), fileName.c_str(), 0);
    return result;
  }
  ApplyTimes(file.get(), entry);
  ApplyMode(file.get(), entry, head);
  return kZipOk;
}

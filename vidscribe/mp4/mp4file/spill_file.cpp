#include "mp4file/spill_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "mp4file/mp4_log.h"

namespace mp4file {
namespace {

// Without O_TMPFILE (older kernels, some file systems) a named file is made
// and unlinked at once; the name exists only for that moment.
int openNamedAndUnlink(const std::string& folder) {
  std::string name = folder + "/.mp4-tables-XXXXXX";
  std::vector<char> buffer(name.begin(), name.end());
  buffer.push_back('\0');
  int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
  if (fd < 0) return -1;
  if (::unlink(buffer.data()) != 0) {
    int error = errno;
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

}  // namespace

std::unique_ptr<SpillFile> SpillFile::Create(const std::string& folder, std::string& why) {
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) fd = openNamedAndUnlink(folder);
  if (fd < 0) {
    why = std::strerror(errno);
    return nullptr;
  }
  return std::unique_ptr<SpillFile>(new SpillFile(fd, folder));
}

std::unique_ptr<SpillFile> SpillFile::Adopt(int fd, const std::string& label) {
  if (fd < 0) return nullptr;
  return std::unique_ptr<SpillFile>(new SpillFile(fd, label));
}

SpillFile::~SpillFile() {
  ::close(fd_);
}

bool SpillFile::fail(const char* what, int error) {
  if (!failed_) {
    LogLine(LogSource::Writer, "cannot %s the table scratch file (%s): %s", what, label_.c_str(),
            error ? std::strerror(error) : "it ends early");
  }
  failed_ = true;
  return false;
}

bool SpillFile::WriteAt(uint64_t at, const void* data, size_t size) {
  if (failed_) return false;
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    ssize_t n = ::pwrite(fd_, bytes, size, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail("write", n < 0 ? errno : ENOSPC);
    bytes += n;
    size -= static_cast<size_t>(n);
    at += static_cast<uint64_t>(n);
  }
  return true;
}

bool SpillFile::Append(const void* data, size_t size, uint64_t& at) {
  at = end_;
  if (!WriteAt(end_, data, size)) return false;
  end_ += size;
  return true;
}

bool SpillFile::ReadAt(uint64_t at, void* data, size_t size) {
  if (failed_) return false;
  uint8_t* bytes = static_cast<uint8_t*>(data);
  while (size > 0) {
    ssize_t n = ::pread(fd_, bytes, size, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return fail("read", n < 0 ? errno : 0);
    bytes += n;
    size -= static_cast<size_t>(n);
    at += static_cast<uint64_t>(n);
  }
  return true;
}

}  // namespace mp4file

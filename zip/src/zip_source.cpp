#include "zip_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "zip/zip_reader.h"

ZipFileSource::~ZipFileSource() {
  if (fd_ >= 0) ::close(fd_);
}

std::uint32_t ZipFileSource::Open(const std::string& path) {
  // Non-blocking: opening a FIFO for reading would otherwise wait for a
  // writer. Reads of a regular file are not affected.
  fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd_ < 0) return kZipNoFile;
  struct stat st;
  // Only a regular file has a size and positions to read at; a pipe or a
  // device would make the end-record search meaningless.
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return kZipCannotSeek;
  size_ = static_cast<std::uint64_t>(st.st_size);
  return kZipOk;
}

bool ZipFileSource::ReadAt(std::uint64_t offset, void* out, std::size_t length) {
  if (!Contains(offset, length)) return false;
  auto* cursor = static_cast<unsigned char*>(out);
  while (length > 0) {
    ssize_t got = ::pread(fd_, cursor, length, static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;  // the file shrank under us, or an I/O error
    cursor += got;
    offset += static_cast<std::uint64_t>(got);
    length -= static_cast<std::size_t>(got);
  }
  return true;
}

bool ZipMemorySource::ReadAt(std::uint64_t offset, void* out, std::size_t length) {
  if (!Contains(offset, length)) return false;
  if (length > 0) std::memcpy(out, data_ + offset, length);
  return true;
}

// Copies a byte range from one file to the current position of another,
// letting the kernel move the bytes itself where it can (copy_file_range;
// a file system that shares extents makes it nearly free) and falling back
// to reads and writes where it cannot. Header only, for the MP4 module too.
#ifndef VIDSCRIBE_BASE_FILE_COPY_H
#define VIDSCRIBE_BASE_FILE_COPY_H

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <vector>

namespace vidscribe {

inline bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

inline bool WriteAllAt(int fd, const uint8_t* data, size_t size, uint64_t at) {
  while (size > 0) {
    const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
    at += static_cast<uint64_t>(n);
  }
  return true;
}

// False (errno set) on a read or write error, or when in ends before
// length bytes.
inline bool CopyFileRange(int in, uint64_t from, int out, uint64_t length) {
  off_t at = static_cast<off_t>(from);
  while (length > 0) {
    const ssize_t n = ::copy_file_range(in, &at, out, nullptr, std::min<uint64_t>(length, 1 << 30), 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // no kernel copy here, or an error: the loop below tells which
    length -= static_cast<uint64_t>(n);
  }
  std::vector<uint8_t> buffer(length > 0 ? std::min<uint64_t>(length, 1 << 20) : 0);
  while (length > 0) {
    const ssize_t n = ::pread(in, buffer.data(), std::min<uint64_t>(length, buffer.size()), at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = ENODATA;
      return false;
    }
    if (!WriteAll(out, buffer.data(), static_cast<size_t>(n))) return false;
    at += n;
    length -= static_cast<uint64_t>(n);
  }
  return true;
}

}  // namespace vidscribe

#endif  // VIDSCRIBE_BASE_FILE_COPY_H

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

// Repeats a transfer (read or write of up to n bytes at a position) until
// size bytes have moved. One that moves nothing ends it with errno set to
// endErrno: a file that ends, a disk that takes no more.
template <typename Byte, typename Transfer>
bool TransferAll(Byte* data, size_t size, uint64_t at, int endErrno, Transfer transfer) {
  while (size > 0) {
    const ssize_t n = transfer(data, size, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = endErrno;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
    at += static_cast<uint64_t>(n);
  }
  return true;
}

inline bool WriteAll(int fd, const uint8_t* data, size_t size) {
  return TransferAll(data, size, 0, ENOSPC,
                     [fd](const uint8_t* d, size_t n, uint64_t) { return ::write(fd, d, n); });
}

// False (errno set) on a read error or when the file ends first.
inline bool ReadAllAt(int fd, uint8_t* data, size_t size, uint64_t at) {
  return TransferAll(data, size, at, EIO, [fd](uint8_t* d, size_t n, uint64_t from) {
    return ::pread(fd, d, n, static_cast<off_t>(from));
  });
}

inline bool WriteAllAt(int fd, const uint8_t* data, size_t size, uint64_t at) {
  return TransferAll(data, size, at, ENOSPC, [fd](const uint8_t* d, size_t n, uint64_t to) {
    return ::pwrite(fd, d, n, static_cast<off_t>(to));
  });
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

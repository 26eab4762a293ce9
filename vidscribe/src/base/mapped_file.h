// A file mapped read-only in one piece, for scans that walk a whole
// recording: headers are read in memory, and long runs of bytes can be
// handed to the kernel without passing through a buffer. Header only, so
// the MP4 module can use it without linking the core.
#ifndef VIDSCRIBE_BASE_MAPPED_FILE_H
#define VIDSCRIBE_BASE_MAPPED_FILE_H

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace vidscribe {

class MappedFile {
 public:
  explicit MappedFile(const char* path) {
    fd_ = path != nullptr ? ::open(path, O_RDONLY | O_CLOEXEC) : -1;
    struct stat info;
    if (fd_ < 0 || ::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return;
    size_ = static_cast<int64_t>(info.st_size);
    if (size_ == 0) return;
    void* mapped = ::mmap(nullptr, static_cast<size_t>(size_), PROT_READ, MAP_PRIVATE, fd_, 0);
    if (mapped == MAP_FAILED) {
      size_ = -1;
      return;
    }
    data_ = static_cast<const uint8_t*>(mapped);
    ::madvise(mapped, static_cast<size_t>(size_), MADV_SEQUENTIAL);
  }
  ~MappedFile() {
    if (data_ != nullptr) ::munmap(const_cast<uint8_t*>(data_), static_cast<size_t>(size_));
    if (fd_ >= 0) ::close(fd_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Open and mapped (an empty file maps to no bytes).
  bool ok() const { return fd_ >= 0 && size_ >= 0; }
  int fd() const { return fd_; }
  const uint8_t* data() const { return data_; }
  int64_t size() const { return size_; }
  // Whether a recorder still writes the file: recorders hold an exclusive
  // lock on it while they run, and the lock goes with their process.
  bool HeldByAWriter() const {
    if (fd_ < 0 || ::flock(fd_, LOCK_SH | LOCK_NB) == 0) {
      if (fd_ >= 0) ::flock(fd_, LOCK_UN);
      return false;
    }
    return errno == EWOULDBLOCK;
  }

 private:
  int fd_ = -1;
  const uint8_t* data_ = nullptr;
  int64_t size_ = -1;
};

}  // namespace vidscribe

#endif  // VIDSCRIBE_BASE_MAPPED_FILE_H

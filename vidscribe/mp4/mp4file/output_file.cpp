#include "mp4file/output_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "mp4file/mp4_log.h"

namespace mp4file {
namespace {

constexpr size_t kBufferSize = 1 << 20;

}  // namespace

OutputFile::~OutputFile() {
  Close();
}

bool OutputFile::Open(const std::string& path) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    LogLine(LogSource::Writer, "cannot create %s: %s", path.c_str(), std::strerror(errno));
    return false;
  }
  // Held while the file is written, so a repair never replaces a recording
  // under its recorder (advisory: only our own repair looks).
  ::flock(fd_, LOCK_EX | LOCK_NB);
  buffer_.resize(kBufferSize);
  used_ = 0;
  position_ = 0;
  return true;
}

bool OutputFile::OpenExisting(const std::string& path, uint64_t position, std::string& why) {
  fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0 &&
      ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) >= 0) {
    buffer_.resize(kBufferSize);
    used_ = 0;
    position_ = position;
    return true;
  }
  why = fd_ < 0                ? "cannot open " + path + " for writing: " + std::strerror(errno)
        : errno == EWOULDBLOCK ? path + " is being written by another program"
                               : "cannot use " + path + ": " + std::strerror(errno);
  LogLine(LogSource::Writer, "%s", why.c_str());
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  return false;
}

bool OutputFile::KeepExisting(uint64_t length) {
  if (fd_ < 0 || !Flush()) return false;
  const off_t end = static_cast<off_t>(position_ + length);
  if (::ftruncate(fd_, end) != 0 || ::lseek(fd_, end, SEEK_SET) < 0) {
    LogLine(LogSource::Writer, "cannot cut the file at %lld: %s", static_cast<long long>(end),
            std::strerror(errno));
    return false;
  }
  position_ += length;
  return true;
}

bool OutputFile::Sync() {
  if (fd_ < 0 || !Flush()) return false;
  if (::fdatasync(fd_) != 0) {
    LogLine(LogSource::Writer, "cannot write the file out: %s", std::strerror(errno));
    return false;
  }
  return true;
}

bool OutputFile::writeAll(const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd_, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      LogLine(LogSource::Writer, "write failed: %s", n < 0 ? std::strerror(errno) : "no progress");
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool OutputFile::Write(const uint8_t* data, size_t size) {
  if (fd_ < 0) return false;
  position_ += size;
  if (used_ + size <= buffer_.size()) {
    std::memcpy(buffer_.data() + used_, data, size);
    used_ += size;
    return true;
  }
  // Large pieces bypass the buffer rather than being copied through it.
  if (!Flush()) return false;
  if (size >= buffer_.size()) return writeAll(data, size);
  std::memcpy(buffer_.data(), data, size);
  used_ = size;
  return true;
}

bool OutputFile::Flush() {
  if (fd_ < 0) return false;
  bool ok = writeAll(buffer_.data(), used_);
  used_ = 0;
  return ok;
}

bool OutputFile::WriteAt(uint64_t offset, const uint8_t* data, size_t size) {
  if (fd_ < 0 || !Flush()) return false;
  while (size > 0) {
    ssize_t n = ::pwrite(fd_, data, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      LogLine(LogSource::Writer, "patch write failed: %s", n < 0 ? std::strerror(errno) : "no progress");
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

bool OutputFile::DiscardFrom(uint64_t position) {
  if (fd_ < 0 || position > position_) return false;
  uint64_t buffered = position_ - used_;  // where the buffer's bytes start in the file
  if (position >= buffered) {
    used_ = static_cast<size_t>(position - buffered);
  } else {
    used_ = 0;
    if (::ftruncate(fd_, static_cast<off_t>(position)) != 0 ||
        ::lseek(fd_, static_cast<off_t>(position), SEEK_SET) < 0) {
      LogLine(LogSource::Writer, "truncate failed: %s", std::strerror(errno));
      return false;
    }
  }
  position_ = position;
  return true;
}

bool OutputFile::Close() {
  if (fd_ < 0) return true;
  bool ok = Flush();
  if (::close(fd_) != 0) {
    LogLine(LogSource::Writer, "close failed: %s", std::strerror(errno));
    ok = false;
  }
  fd_ = -1;
  buffer_.clear();
  buffer_.shrink_to_fit();
  return ok;
}

}  // namespace mp4file

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "launcher/manifest/md5.h"
#include "platform/unique_fd.h"

namespace {

constexpr std::size_t kReadBlock = 8192;

}  // namespace

std::string Md5OfFile(const std::string& path) {
  // Non-blocking, so that a FIFO's open does not wait for a writer.
  platform::UniqueFd file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  return file.valid() ? Md5OfOpenFile(file.get()) : std::string();
}

std::string Md5OfOpenFile(int fd) {
  struct stat info;
  // Only a regular file has an end: a FIFO or a device (/dev/zero, say)
  // would hold the check forever.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::string();
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  Md5 md5;
  unsigned char block[kReadBlock];
  // Read to the end instead of trusting a size taken up front: the digest
  // then covers files of any length, and one that changes under us is
  // still hashed as a whole stream.
  for (;;) {
    ssize_t got = ::read(fd, block, sizeof block);
    if (got < 0 && errno == EINTR) continue;
    // A read error must not yield the digest of a prefix.
    if (got < 0) return std::string();
    if (got == 0) break;
    md5.Update(block, static_cast<std::size_t>(got));
  }
  md5.Finish();
  return md5.HexDigest();
}

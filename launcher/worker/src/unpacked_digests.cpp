#include "launcher/unpacked_digests.h"

#include <sys/stat.h>

#include "launcher/manifest/md5.h"

namespace {

// Each waiting job is one path; the bound only keeps a package of millions
// of tiny files from queueing them all.
constexpr std::size_t kWaitingFiles = 4096;

long long Nanoseconds(const struct timespec& time) {
  return static_cast<long long>(time.tv_sec) * 1000000000LL + time.tv_nsec;
}

}  // namespace

std::optional<UnpackedDigests::FileIdentity> UnpackedDigests::identityOf(const struct stat& st) {
  if (!S_ISREG(st.st_mode)) return std::nullopt;
  return FileIdentity{st.st_dev, st.st_ino, st.st_size, Nanoseconds(st.st_mtim), Nanoseconds(st.st_ctim)};
}

std::optional<UnpackedDigests::FileIdentity> UnpackedDigests::identityOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return identityOf(st);
}

std::optional<UnpackedDigests::FileIdentity> UnpackedDigests::identityOf(int fd) {
  struct stat st;
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return identityOf(st);
}

UnpackedDigests::UnpackedDigests() : hasher_(kWaitingFiles) {}

void UnpackedDigests::FileWritten(const std::string& path) {
  hasher_.Post([this, path] { hash(path); });
}

void UnpackedDigests::hash(const std::string& path) {
  // The identity before and after must agree, or the file changed while it
  // was read and the digest belongs to no version of it.
  const std::optional<FileIdentity> before = identityOf(path);
  if (!before) return;
  std::string digest = Md5OfFile(path);
  if (digest.empty() || identityOf(path) != before) return;
  std::lock_guard<std::mutex> lock(mutex_);
  digests_[*before] = std::move(digest);
}

std::string UnpackedDigests::DigestOf(int fd) {
  hasher_.Drain();
  if (const std::optional<FileIdentity> now = identityOf(fd)) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto known = digests_.find(*now);
    if (known != digests_.end()) return known->second;
  }
  return Md5OfOpenFile(fd);
}

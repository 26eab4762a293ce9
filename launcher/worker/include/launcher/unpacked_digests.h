#pragma once
// MD5 digests of the files an unpack writes, taken on a thread of their own
// while the unpack goes on, so that the check after the unpack, which must
// hash every listed file, finds most of the work done.
//
// A digest taken early is only handed out for the very same file, unchanged
// since: it is kept with the file's device, inode, size, modification and
// change time, and any write, truncation, mode change or replacement moves
// one of those. Otherwise, and for every file it never saw, the check gets
// what Md5OfOpenFile gives at that moment, as it would without this.
#include <sys/types.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

#include "launcher/serial_worker.h"

class UnpackedDigests {
 public:
  UnpackedDigests();

  // A regular file at path has just been written in full; it is hashed soon.
  void FileWritten(const std::string& path);
  // Returns once every file heard of so far is hashed.
  void WaitUntilHashed() { hasher_.Drain(); }
  // The digest of the open file now, as Md5OfOpenFile(fd) gives it.
  std::string DigestOf(int fd);

 private:
  // device, inode, size, modification and change time in nanoseconds
  using FileIdentity = std::tuple<dev_t, ino_t, off_t, long long, long long>;

  // Nothing for what is not a regular file.
  static std::optional<FileIdentity> identityOf(const struct stat& st);
  static std::optional<FileIdentity> identityOf(const std::string& path);
  static std::optional<FileIdentity> identityOf(int fd);
  void hash(const std::string& path);

  std::mutex mutex_;
  std::map<FileIdentity, std::string> digests_;
  SerialWorker hasher_;  // last: stopped before the map goes
};

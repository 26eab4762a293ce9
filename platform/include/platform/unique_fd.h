#pragma once
// Owners of what the C library hands out to be closed: a file descriptor, a
// folder stream, a FILE stream. Each closes what it holds when it goes, and
// moves but never copies. Every library of the kit uses these; only the
// vidscribe tool keeps its own, since it is built from its sources and the
// media library's public header alone.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <memory>

namespace platform {

class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Hands the descriptor over; this owner holds nothing after.
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // close(2) may fail, but the descriptor is gone either way: there is
  // nothing to retry, and a writer that cares checks its data before.
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

struct FolderStreamCloser {
  void operator()(DIR* folder) const { ::closedir(folder); }
};
using UniqueFolderStream = std::unique_ptr<DIR, FolderStreamCloser>;

struct FileStreamCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFileStream = std::unique_ptr<std::FILE, FileStreamCloser>;

}  // namespace platform

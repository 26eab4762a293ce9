#pragma once
// A scratch file for the tables a recording would otherwise hold in memory
// for its whole length. It is made unlinked in the recording's own folder:
// it uses the disk the recording uses, leaves nothing behind after a crash,
// and goes away with its descriptor.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace mp4file {

class SpillFile {
 public:
  // nullptr, with the reason in why, when no scratch file can be made there.
  static std::unique_ptr<SpillFile> Create(const std::string& folder, std::string& why);
  // Takes over an open read/write descriptor, so tests can hand in one whose
  // writes fail.
  static std::unique_ptr<SpillFile> Adopt(int fd, const std::string& label);
  ~SpillFile();
  SpillFile(const SpillFile&) = delete;
  SpillFile& operator=(const SpillFile&) = delete;

  // Each operation returns false when its bytes did not all get through.
  // The first failure is logged; after it every call fails quietly, since a
  // table that lost a block can never be written out whole.
  bool Append(const void* data, size_t size, uint64_t& at);
  bool WriteAt(uint64_t at, const void* data, size_t size);
  bool ReadAt(uint64_t at, void* data, size_t size);

  uint64_t Size() const { return end_; }

 private:
  SpillFile(int fd, std::string label) : fd_(fd), label_(std::move(label)) {}
  bool fail(const char* what, int error);

  int fd_;
  std::string label_;  // the folder, for the log line
  uint64_t end_ = 0;
  bool failed_ = false;
};

}  // namespace mp4file

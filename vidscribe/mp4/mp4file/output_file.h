#pragma once
// A file opened for writing with its own write buffer. Sample data passes
// straight through it, so memory stays at one buffer whatever the length of
// the recording.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mp4file {

class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Open(const std::string& path);
  // Writes on into a file that already holds position bytes worth keeping,
  // without truncating it. Fails when anyone else holds the file's lock (a
  // recorder, another repair), saying why in one line.
  bool OpenExisting(const std::string& path, uint64_t position, std::string& why);
  // Moves past length bytes already in the file and drops whatever followed
  // them.
  bool KeepExisting(uint64_t length);
  // Writes out the buffer and waits until the file's data is on the disk.
  bool Sync();
  bool Write(const uint8_t* data, size_t size);
  // Overwrites bytes already written; used to patch placeholders at close.
  bool WriteAt(uint64_t offset, const uint8_t* data, size_t size);
  bool Flush();
  // Drops everything from position on, so a box that could not be finished
  // does not stay behind half written.
  bool DiscardFrom(uint64_t position);
  bool Close();
  uint64_t Position() const { return position_; }
  bool IsOpen() const { return fd_ >= 0; }

 private:
  bool writeAll(const uint8_t* data, size_t size);

  int fd_ = -1;
  uint64_t position_ = 0;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
};

}  // namespace mp4file

#pragma once
// Where a reader gets its bytes: a file read by position, or a buffer (used by
// the fuzz target and tests). Both know their size up front, so every offset
// can be checked before it is used.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mp4file {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads exactly size bytes at offset, or fails.
  virtual bool ReadAt(uint64_t offset, uint8_t* out, size_t size) = 0;
};

// Returns null (and logs why) when the file cannot be opened.
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);

class MemorySource : public ByteSource {
 public:
  MemorySource(const uint8_t* data, size_t size) : bytes_(data, data + size) {}
  uint64_t Size() const override { return bytes_.size(); }
  bool ReadAt(uint64_t offset, uint8_t* out, size_t size) override;

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace mp4file

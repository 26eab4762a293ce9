#pragma once
// Serialises boxes into a growing byte buffer. A box is opened with a size
// placeholder and its size patched when it is closed, so nested boxes need
// no size computed ahead of time.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mp4file {

class BoxWriter {
 public:
  size_t Begin(uint32_t type);
  size_t BeginFull(uint32_t type, uint8_t version, uint32_t flags);
  void End(size_t start);

  void U8(uint8_t v) { bytes_.push_back(v); }
  void U16(uint16_t v);
  void U32(uint32_t v);
  void U64(uint64_t v);
  void Zeros(size_t count) { bytes_.insert(bytes_.end(), count, 0); }
  void Bytes(const uint8_t* data, size_t size) { bytes_.insert(bytes_.end(), data, data + size); }
  void Bytes(const std::vector<uint8_t>& data) { Bytes(data.data(), data.size()); }

  size_t Size() const { return bytes_.size(); }
  uint8_t* At(size_t position) { return bytes_.data() + position; }
  const std::vector<uint8_t>& Data() const { return bytes_; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace mp4file

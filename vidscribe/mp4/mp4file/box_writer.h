#pragma once
// Serialises boxes into a growing byte buffer. A box is opened with a size
// placeholder and its size patched when it is closed, so nested boxes need
// no size computed ahead of time. Contents too large to hold (the sample
// tables of a long recording) are left as gaps of a known size: the boxes
// around a gap count its bytes, and whoever writes the buffer out streams
// the contents into the gap's place.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mp4file {

class BoxWriter {
 public:
  struct Gap {
    size_t at;  // buffer position the streamed bytes go in front of
    uint64_t size;
  };

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
  // Leaves a gap for size bytes streamed in later.
  void Defer(uint64_t size) { gaps_.push_back({bytes_.size(), size}); }

  size_t Size() const { return bytes_.size(); }
  uint8_t* At(size_t position) { return bytes_.data() + position; }
  const std::vector<uint8_t>& Data() const { return bytes_; }
  const std::vector<Gap>& Gaps() const { return gaps_; }
  std::vector<uint8_t> Take() { return std::move(bytes_); }
  // A box grew past what its 32-bit size field can say.
  bool TooLarge() const { return tooLarge_; }

 private:
  std::vector<uint8_t> bytes_;
  std::vector<Gap> gaps_;
  bool tooLarge_ = false;
};

}  // namespace mp4file

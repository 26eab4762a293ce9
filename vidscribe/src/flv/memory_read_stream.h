// An IReadStream over bytes in memory (borrowed, not copied). Release only
// counts the calls; the owner keeps the object.
#ifndef VIDSCRIBE_FLV_MEMORY_READ_STREAM_H
#define VIDSCRIBE_FLV_MEMORY_READ_STREAM_H

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "vidscribe/vidscribe.h"

namespace vidscribe {

class MemoryReadStream final : public IReadStream {
 public:
  MemoryReadStream(const uint8_t* data, size_t length) : data(data), length(static_cast<int64_t>(length)) {}

  void AddRef() override {}
  void Release() override { ++releases; }
  int32_t Read(uint8_t* buffer, int32_t count) override {
    if (count <= 0 || position >= length) return 0;
    const int64_t n = count < length - position ? count : length - position;
    std::memcpy(buffer, data + position, static_cast<size_t>(n));
    position += n;
    return static_cast<int32_t>(n);
  }
  int32_t Seek(int64_t offset, int32_t origin) override {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? position : origin == 2 ? length : -1;
    if (base < 0 || offset > length - base || base + offset < 0) return -1;
    position = base + offset;
    return 0;
  }
  int64_t Pos() override { return position; }
  int64_t Size() override { return length; }

  int releases = 0;

 private:
  const uint8_t* data;
  int64_t length;
  int64_t position = 0;
};

}  // namespace vidscribe

#endif  // VIDSCRIBE_FLV_MEMORY_READ_STREAM_H

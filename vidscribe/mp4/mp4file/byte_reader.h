#pragma once
// Bounds-checked reading of a byte range. A read past the end fails the
// reader for good and yields zeros, so a parser can read a whole record and
// check Ok() once instead of after every field.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "mp4file/byte_order.h"

namespace mp4file {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Ok() const { return ok_; }
  size_t Remaining() const { return ok_ ? size_ - pos_ : 0; }
  size_t Position() const { return pos_; }
  const uint8_t* Current() const { return data_ + pos_; }

  bool Has(size_t n) const { return ok_ && n <= size_ - pos_; }

  const uint8_t* Take(size_t n) {
    if (!Has(n)) {
      ok_ = false;
      return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  void Skip(size_t n) { Take(n); }
  uint8_t U8() {
    const uint8_t* p = Take(1);
    return p ? p[0] : 0;
  }
  uint16_t U16() {
    const uint8_t* p = Take(2);
    return p ? GetU16(p) : 0;
  }
  uint32_t U24() {
    const uint8_t* p = Take(3);
    return p ? GetU24(p) : 0;
  }
  uint32_t U32() {
    const uint8_t* p = Take(4);
    return p ? GetU32(p) : 0;
  }
  uint64_t U64() {
    const uint8_t* p = Take(8);
    return p ? GetU64(p) : 0;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

// One box inside a parent's payload.
struct Box {
  uint32_t type = 0;
  const uint8_t* payload = nullptr;
  size_t size = 0;  // payload bytes, header excluded
};

// Walks the child boxes of a payload. Next() returns false at the end and on
// damage; Damaged() tells the two apart.
class BoxWalker {
 public:
  BoxWalker(const uint8_t* data, size_t size) : reader_(data, size) {}

  bool Next(Box& box) {
    if (damaged_ || reader_.Remaining() == 0) return false;
    if (reader_.Remaining() < 8) return fail();
    uint64_t size = reader_.U32();
    box.type = reader_.U32();
    size_t header = 8;
    if (size == 1) {
      if (!reader_.Has(8)) return fail();
      size = reader_.U64();
      header = 16;
    } else if (size == 0) {
      size = header + reader_.Remaining();  // runs to the end of its parent
    }
    if (size < header || size - header > reader_.Remaining()) return fail();
    box.size = static_cast<size_t>(size - header);
    box.payload = reader_.Take(box.size);
    return true;
  }

  bool Damaged() const { return damaged_; }

 private:
  bool fail() {
    damaged_ = true;
    return false;
  }

  ByteReader reader_;
  bool damaged_ = false;
};

}  // namespace mp4file

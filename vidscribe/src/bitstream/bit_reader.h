// Most-significant-bit-first reader over a byte range that never reads past
// its end: every read reports failure instead.
#ifndef VIDSCRIBE_BITSTREAM_BIT_READER_H
#define VIDSCRIBE_BITSTREAM_BIT_READER_H

#include <cstddef>
#include <cstdint>

namespace vidscribe {

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t length) : data(data), bitLength(length * 8) {}

  bool ReadBit(uint32_t& bit);
  bool ReadBits(int count, uint32_t& value);  // count 0..32
  bool Skip(size_t count);
  // Unsigned Exp-Golomb: n leading zeros, a one, n bits; 2^n - 1 + bits.
  // Fails beyond 31 leading zeros, where the value no longer fits.
  bool ReadUe(uint32_t& value);
  bool ReadSe(int32_t& value);

 private:
  const uint8_t* data;
  size_t bitLength;
  size_t position = 0;
};

}  // namespace vidscribe

#endif  // VIDSCRIBE_BITSTREAM_BIT_READER_H

#include "bitstream/bit_reader.h"

namespace vidscribe {

bool BitReader::ReadBit(uint32_t& bit) {
  if (position >= bitLength) return false;
  bit = (data[position / 8] >> (7 - position % 8)) & 1u;
  ++position;
  return true;
}

bool BitReader::ReadBits(int count, uint32_t& value) {
  if (count < 0 || count > 32 || bitLength - position < static_cast<size_t>(count)) return false;
  uint64_t result = 0;
  for (int i = 0; i < count; ++i) {
    result = (result << 1) | ((data[position / 8] >> (7 - position % 8)) & 1u);
    ++position;
  }
  value = static_cast<uint32_t>(result);
  return true;
}

bool BitReader::Skip(size_t count) {
  if (bitLength - position < count) return false;
  position += count;
  return true;
}

bool BitReader::ReadUe(uint32_t& value) {
  int zeros = 0;
  uint32_t bit = 0;
  for (;;) {
    if (!ReadBit(bit)) return false;
    if (bit) break;
    if (++zeros > 31) return false;
  }
  uint32_t suffix = 0;
  if (!ReadBits(zeros, suffix)) return false;
  value = static_cast<uint32_t>((uint64_t{1} << zeros) - 1 + suffix);
  return true;
}

bool BitReader::ReadSe(int32_t& value) {
  uint32_t code = 0;
  if (!ReadUe(code)) return false;
  // 1, 2, 3, 4 ... map to 1, -1, 2, -2 ...
  const int64_t magnitude = (int64_t{code} + 1) / 2;
  value = static_cast<int32_t>((code & 1u) ? magnitude : -magnitude);
  return true;
}

}  // namespace vidscribe

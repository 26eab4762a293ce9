#include "bitstream/annexb.h"

#include <cstring>

namespace vidscribe {
namespace {

// First byte of the next 00 00 01 at or after from, or end. Looking for the
// 01 with memchr and checking backwards is what makes the scan fast: 01
// bytes are rare in slice data, zeros are not.
const uint8_t* findStartCode(const uint8_t* from, const uint8_t* end) {
  if (end - from < 3) return end;
  const uint8_t* p = from + 2;
  while (p < end) {
    p = static_cast<const uint8_t*>(std::memchr(p, 0x01, static_cast<size_t>(end - p)));
    if (p == nullptr) return end;
    if (p[-1] == 0 && p[-2] == 0) return p - 2;
    // The byte at p is 01, so no start code can end at p + 1 or p + 2 unless
    // those are 01 themselves; memchr handles that by restarting at p + 1.
    ++p;
  }
  return end;
}

}  // namespace

size_t AnnexBMaxOutput(size_t inputLength) { return inputLength + inputLength / 3 + 4; }

bool AnnexBToLengthPrefixed(const uint8_t* input, size_t inputLength, uint8_t* out, size_t capacity,
                            size_t* outLength) {
  *outLength = 0;
  if (input == nullptr || inputLength == 0) return true;
  const uint8_t* end = input + inputLength;
  const uint8_t* code = findStartCode(input, end);
  if (code == end) return true;
  // A zero in front makes it a four-byte start code.
  if (code > input && code[-1] == 0) --code;

  size_t written = 0;
  while (code < end) {
    const uint8_t* unit = code;
    while (unit < end && *unit == 0) ++unit;
    ++unit;  // the 01 that ends the start code
    if (unit > end) break;
    const uint8_t* next = findStartCode(unit, end);
    const uint8_t* unitEnd = next;
    // The zero of a following four-byte start code belongs to that code.
    if (next < end && next > unit && next[-1] == 0) --unitEnd;
    const size_t unitLength = static_cast<size_t>(unitEnd - unit);
    if (capacity - written < 4 || capacity - written - 4 < unitLength) {
      *outLength = 0;
      return false;
    }
    out[written++] = static_cast<uint8_t>(unitLength >> 24);
    out[written++] = static_cast<uint8_t>(unitLength >> 16);
    out[written++] = static_cast<uint8_t>(unitLength >> 8);
    out[written++] = static_cast<uint8_t>(unitLength);
    std::memcpy(out + written, unit, unitLength);
    written += unitLength;
    code = unitEnd;
  }
  *outLength = written;
  return true;
}

}  // namespace vidscribe

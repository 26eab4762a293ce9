#include "bitstream/annexb.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vidscribe {
namespace {

// First byte of the next 00 00 01 at or after from, or end. Inside a unit two
// zero bytes in a row are rare (emulation prevention sees to that), so the
// scan looks for zero pairs 16 positions at a time and only then checks for
// the 01.
const uint8_t* findStartCode(const uint8_t* from, const uint8_t* end) {
  const uint8_t* p = from;
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  // 18 bytes: the two overlapping loads cover p..p+16, the 01 check p+17.
  while (end - p >= 18) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    unsigned pairs = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, zero), _mm_cmpeq_epi8(next, zero))));
    while (pairs != 0) {
      const int i = __builtin_ctz(pairs);
      if (p[i + 2] == 0x01) return p + i;
      pairs &= pairs - 1;
    }
    p += 16;
  }
#endif
  for (; end - p >= 3; ++p) {
    if (p[0] == 0 && p[1] == 0 && p[2] == 0x01) return p;
  }
  return end;
}

}  // namespace

size_t AnnexBMaxOutput(size_t inputLength) {
  return inputLength + inputLength / 3 + 4;
}

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

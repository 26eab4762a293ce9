#include "bitstream/annexb.h"

#include <cstring>

#include "base/big_endian.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace vidscribe {

// Inside a unit two zero bytes in a row are rare (emulation prevention sees
// to that), so the scan looks for zero pairs 16 positions at a time and only
// then checks for the 01.
const uint8_t* FindStartCode(const uint8_t* from, const uint8_t* end) {
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

size_t AnnexBMaxOutput(size_t inputLength) {
  return inputLength + inputLength / 3 + 4;
}

bool AnnexBToLengthPrefixed(const uint8_t* input, size_t inputLength, uint8_t* out, size_t capacity,
                            size_t* outLength) {
  *outLength = 0;
  if (input == nullptr || inputLength == 0) return true;
  AnnexBUnits units(input, inputLength);
  const uint8_t* unit = nullptr;
  size_t unitLength = 0;
  size_t written = 0;
  while (units.Next(&unit, &unitLength)) {
    if (capacity - written < 4 || capacity - written - 4 < unitLength) {
      *outLength = 0;
      return false;
    }
    PutU32(out + written, static_cast<uint32_t>(unitLength));
    std::memcpy(out + written + 4, unit, unitLength);
    written += 4 + unitLength;
  }
  *outLength = written;
  return true;
}

void LengthPrefixesToStartCodes(uint8_t* data, size_t length) {
  size_t at = 0;
  while (length - at >= 4) {
    const size_t unit = GetU32(data + at);
    if (unit > length - at - 4) return;
    PutU32(data + at, 1);  // 00 00 00 01
    at += 4 + unit;
  }
}

}  // namespace vidscribe

// Start-code delimited H.264 (as encoders emit it) to the 4-byte
// length-prefixed units that FLV and MP4 carry, and back. The start-code
// scanner itself (FindStartCode, AnnexBUnits) is public.
#ifndef VIDSCRIBE_BITSTREAM_ANNEXB_H
#define VIDSCRIBE_BITSTREAM_ANNEXB_H

#include <cstddef>
#include <cstdint>

#include "base/big_endian.h"
#include "vidscribe/vidscribe.h"

namespace vidscribe {

// Output bytes the conversion may need for an input of this length: every
// 3-byte start code grows by one byte, and start codes are at least 3 bytes
// apart.
size_t AnnexBMaxOutput(size_t inputLength);

// Converts input into out. Returns false, with *outLength 0 and out untouched
// past capacity, when the result would not fit in capacity. Input without any
// start code converts to nothing.
bool AnnexBToLengthPrefixed(const uint8_t* input, size_t inputLength, uint8_t* out, size_t capacity,
                            size_t* outLength);

// Calls visit(unit, unitLength) for each unit of a length-prefixed buffer;
// stops at the first length that runs past the end.
template <typename Visit>
void ForEachLengthPrefixedUnit(const uint8_t* data, size_t length, Visit&& visit) {
  size_t at = 0;
  while (length - at >= 4) {
    const size_t unit = GetU32(data + at);
    at += 4;
    if (unit > length - at) return;
    visit(data + at, unit);
    at += unit;
  }
}

// Rewrites each length field in place as the start code 00 00 00 01; a
// length that runs past the end stops the walk, so a damaged buffer converts
// only its sound units.
void LengthPrefixesToStartCodes(uint8_t* data, size_t length);

}  // namespace vidscribe

#endif  // VIDSCRIBE_BITSTREAM_ANNEXB_H

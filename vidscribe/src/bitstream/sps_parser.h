// Picture size from an H.264 sequence parameter set.
#ifndef VIDSCRIBE_BITSTREAM_SPS_PARSER_H
#define VIDSCRIBE_BITSTREAM_SPS_PARSER_H

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vidscribe {

class BitReader;

// Shared by every reader of H.264 parameter sets and slice headers.
// The payload with emulation-prevention bytes (the 03 of 00 00 03) removed,
// which is what the bit syntax is defined over; at most limit bytes.
std::vector<uint8_t> RemoveEmulationPrevention(const uint8_t* data, size_t length, size_t limit = SIZE_MAX);
// Profiles whose SPS carries chroma format, bit depths and scaling matrices.
bool SpsHasChromaFields(uint32_t profile);
// Reads past one scaling list of size entries.
bool SkipScalingList(BitReader& bits, int size);

// sps is one whole NAL unit starting with its header byte (type 7). Reports
// the coded size in whole macroblocks: cropping and field coding are not
// applied, so a 1080-line stream reports 1088. Never reads past length.
bool ParseSpsSize(const uint8_t* sps, size_t length, int* width, int* height);

}  // namespace vidscribe

#endif  // VIDSCRIBE_BITSTREAM_SPS_PARSER_H

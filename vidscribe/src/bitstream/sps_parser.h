// H.264 sequence parameter sets: the picture size and the fields that slice
// headers need to be read.
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

struct SpsInfo {
  uint32_t profile = 0;
  bool separateColourPlane = false;
  uint32_t log2MaxFrameNum = 4;
  uint32_t pocType = 0;
  uint32_t log2MaxPocLsb = 4;
  bool frameMbsOnly = true;
  // The shown picture: whole macroblocks (two rows of them per map unit for
  // field coding), less the cropping rectangle.
  int width = 0;
  int height = 0;
};

// sps is one whole NAL unit starting with its header byte (type 7). Never
// reads past length. An SPS cut right after its size fields still gives the
// uncropped size.
bool ParseSps(const uint8_t* sps, size_t length, SpsInfo& out);
bool ParseSpsSize(const uint8_t* sps, size_t length, int* width, int* height);

}  // namespace vidscribe

#endif  // VIDSCRIBE_BITSTREAM_SPS_PARSER_H

// Picture size from an H.264 sequence parameter set.
#ifndef VIDSCRIBE_BITSTREAM_SPS_PARSER_H
#define VIDSCRIBE_BITSTREAM_SPS_PARSER_H

#include <cstddef>
#include <cstdint>

namespace vidscribe {

// sps is one whole NAL unit starting with its header byte (type 7). Reports
// the coded size in whole macroblocks: cropping and field coding are not
// applied, so a 1080-line stream reports 1088. Never reads past length.
bool ParseSpsSize(const uint8_t* sps, size_t length, int* width, int* height);

}  // namespace vidscribe

#endif  // VIDSCRIBE_BITSTREAM_SPS_PARSER_H

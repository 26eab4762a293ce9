// The H.264 and ADTS readers on arbitrary bytes: the SPS parser, the
// start-code conversion (which gets exactly the room it claims to need at
// most), the picture order reader that walks SPS and slice headers of an
// access unit, and the ADTS header reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bitstream/annexb.h"
#include "bitstream/sps_parser.h"
#include "vidscribe/vidscribe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int width = 0, height = 0;
  if (vidscribe::ParseSpsSize(data, size, &width, &height) && (width <= 0 || height <= 0)) std::abort();

  std::vector<uint8_t> out(vidscribe::AnnexBMaxOutput(size));
  size_t length = 0;
  if (!vidscribe::AnnexBToLengthPrefixed(data, size, out.data(), out.size(), &length)) std::abort();
  size_t walked = 0;
  vidscribe::ForEachLengthPrefixedUnit(out.data(), length,
                                       [&](const uint8_t*, size_t unit) { walked += 4 + unit; });
  if (walked != length) std::abort();

  // The same bytes twice: the second access unit is read with the SPS the
  // first one brought.
  vidscribe::PictureOrder order;
  order.Next(data, size);
  const vidscribe::PictureOrder::Frame frame = order.Next(data, size);
  if (frame.displayIndex < -1) std::abort();

  vidscribe::AdtsHeader adts;
  if (vidscribe::ParseAdtsHeader(data, size, adts) &&
      (adts.frameLength < adts.headerLength || adts.sampleRate <= 0 || adts.frameLength > 0x1FFF))
    std::abort();
  return 0;
}

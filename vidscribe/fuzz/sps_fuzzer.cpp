// The SPS size parser and the start-code conversion on arbitrary bytes; the
// conversion gets exactly the room it claims to need at most.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bitstream/annexb.h"
#include "bitstream/sps_parser.h"

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
  return 0;
}

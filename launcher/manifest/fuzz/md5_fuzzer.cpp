// Splits the input at a point taken from its first byte and checks that
// hashing in two pieces equals hashing in one.
#include <cstddef>
#include <cstdint>

#include "launcher/manifest/md5.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Md5 whole;
  whole.Update(data, size);
  whole.Finish();
  const std::size_t cut = size > 0 ? (data[0] * 7u) % (size + 1) : 0;
  Md5 pieces;
  pieces.Update(data, cut);
  pieces.Update(data + cut, size - cut);
  pieces.Finish();
  if (whole.HexDigest() != pieces.HexDigest() || whole.HexDigest().size() != 32) __builtin_trap();
  return 0;
}

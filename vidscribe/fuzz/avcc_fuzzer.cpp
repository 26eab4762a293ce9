// Reading AVC configuration records and building them from a length-
// prefixed pair: neither may read outside the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "bitstream/stream_params.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFF) return 0;
  vidscribe::StreamParams params;
  const int consumed = params.ParseAVCc(data, static_cast<int>(size));
  if (consumed < 0 || static_cast<size_t>(consumed) > size) std::abort();

  // What was read back must build a record again.
  std::vector<char> record(params.sps.size() + params.pps.size() + 11);
  if (params.sps.size() >= 4 && !params.pps.empty() &&
      params.MakeAVCc(record.data(), static_cast<int>(record.size())) != static_cast<int>(record.size())) {
    std::abort();
  }
  std::vector<char> out(size + 16);
  vidscribe::StreamParams::MakeAVCc(reinterpret_cast<const char*>(data), static_cast<int>(size), out.data(),
                                    static_cast<int>(out.size()));
  return 0;
}

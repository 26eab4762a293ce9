// Walking the tags of an arbitrary "FLV file" forward (bodies in pieces)
// and backward through a read-only stream.
#include <cstddef>
#include <cstdint>

#include "flv/memory_read_stream.h"
#include "vidscribe/vidscribe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vidscribe::MemoryReadStream stream(data, size);
  FLVIO io;
  io.Attach(&stream);
  FlvTag tag(0, 7);
  if (io.Seek(9, 0) != 9 || !tag.ReadHdr(io, 0)) return 0;
  int steps = 0;
  do {
    tag.ReadBody(io, 5);
    tag.ReadBody(io, 0);
    int32_t length = 0;
    if (uint8_t* payload = tag.GetPayLoad(15, length)) {
      volatile uint8_t last = length > 0 ? payload[length - 1] : 0;
      (void)last;
    }
    tag.isKeyFrame();
    tag.TagPos(io);
  } while (++steps < 10000 && tag.Next(io));
  for (int back = 0; back < 10000 && tag.Prev(io); ++back) tag.TagPos(io);
  return 0;
}

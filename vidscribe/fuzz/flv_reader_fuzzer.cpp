// A Vidscriber reading an arbitrary "FLV file" from a host stream: header
// and metadata checks, every tag classified and converted for a decoder
// (which rewrites bytes in place), then seeks by index and by walking.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "flv/memory_read_stream.h"
#include "vidscribe/vidscribe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vidscribe::MemoryReadStream stream(data, size);
  Vidscriber reader(false);
  if (!reader.AttachOpen(&stream)) return 0;
  FlvTag tag;
  for (int i = 0; i < 2000 && reader.ReadTag(tag); ++i) {
    int offset = 0;
    uint32_t time = 0;
    reader.ParseTag(tag, offset, 1, &time);
    int32_t length = 0;
    if (uint8_t* payload = tag.GetPayLoad(offset, length)) {
      volatile uint8_t last = length > 0 ? payload[length - 1] : 0;
      (void)last;
    }
  }
  for (uint32_t time : {0u, 40u, 5000u, 0xFFFFFFFFu}) {
    reader.SeekTag(time, 1);
    reader.ReadTag(tag);
    reader.SeekTag(time, 0);
  }
  reader.LastTag(tag);
  reader.SeekTag(100, 1);
  return 0;
}

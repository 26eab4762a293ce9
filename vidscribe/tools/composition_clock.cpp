#include "composition_clock.h"

#include <algorithm>
#include <vector>

#include "elementary_streams.h"

namespace vidscribe_tool {

void CompositionClock::Next(const vidscribe::PictureOrder::Frame& frame, uint64_t* decodeMs,
                            int* compositionMs) {
  if (frame.idr) idrIndex = decodeIndex;
  *decodeMs = static_cast<uint64_t>(at(decodeIndex));
  const int64_t display =
      frame.displayIndex >= 0 ? idrIndex + frame.displayIndex + delay : decodeIndex + delay;
  const int64_t offset = at(display) - at(decodeIndex);
  *compositionMs = offset < 0 ? 0 : static_cast<int>(offset);
  ++decodeIndex;
}

int64_t LearnDisplayDelay(const char* path, int frames) {
  AnnexBFrameReader reader;
  if (!reader.Open(path)) return 0;
  vidscribe::PictureOrder order;
  std::vector<uint8_t> frame;
  int64_t decodeIndex = 0, idrIndex = 0, delay = 0;
  for (int i = 0; i < frames && reader.Next(frame); ++i, ++decodeIndex) {
    const vidscribe::PictureOrder::Frame info = order.Next(frame.data(), frame.size());
    if (info.idr) idrIndex = decodeIndex;
    if (info.displayIndex >= 0) delay = std::max(delay, decodeIndex - idrIndex - info.displayIndex);
  }
  return delay;
}

}  // namespace vidscribe_tool

// Composition times for an Annex B file, which carries frames in decode
// order only: a stream with B-frames needs each frame's display time in its
// tag to play in the right order.
#ifndef VIDSCRIBE_TOOL_COMPOSITION_CLOCK_H
#define VIDSCRIBE_TOOL_COMPOSITION_CLOCK_H

#include <cmath>
#include <cstdint>

#include "vidscribe/vidscribe.h"

namespace vidscribe_tool {

// Decode times and composition offsets from a frame rate: the display delay
// (in frames) is learned from the first frames, then each frame's offset of
// display over decode time follows from its display index.
class CompositionClock {
 public:
  CompositionClock(double fps, int64_t delayFrames) : fps(fps), delay(delayFrames) {}
  // Decode time (ms from the stream start) and composition offset of the
  // next frame.
  void Next(const vidscribe::PictureOrder::Frame& frame, uint64_t* decodeMs, int* compositionMs);
  // When the first picture is shown, in ms after the first frame's decode
  // time: the other streams of a recording start then.
  uint64_t FirstShownMs() const { return at(delay); }

 private:
  int64_t at(int64_t index) const { return static_cast<int64_t>(std::llround(index * 1000.0 / fps)); }

  double fps;
  int64_t delay;
  int64_t decodeIndex = 0;
  int64_t idrIndex = 0;
};

// Display delay of a stream in frames: the largest lead of decode over
// display order among the first frames (0 without B-frames).
int64_t LearnDisplayDelay(const char* path, int frames);

}  // namespace vidscribe_tool

#endif  // VIDSCRIBE_TOOL_COMPOSITION_CLOCK_H

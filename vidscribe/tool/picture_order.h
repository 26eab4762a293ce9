// Display order of H.264 access units, for composition times: an Annex B
// file carries frames in decode order only, and a stream with B-frames
// needs each frame's display time in its tag to play in the right order.
#ifndef VIDSCRIBE_TOOL_PICTURE_ORDER_H
#define VIDSCRIBE_TOOL_PICTURE_ORDER_H

#include <cstddef>
#include <cstdint>

namespace vidscribe_tool {

// Picture order counts of successive access units in decode order.
// Understands the counting of type 0 (used with B-frames); for the other
// types display order is decode order and no reordering is reported.
class PictureOrder {
 public:
  struct Frame {
    bool idr = false;
    // Frames between this frame and the IDR frame before it, in display
    // order; -1 when unknown.
    int64_t displayIndex = -1;
  };
  Frame Next(const uint8_t* accessUnit, size_t length);

 private:
  void takeSps(const uint8_t* unit, size_t length);
  bool sliceOrder(const uint8_t* unit, size_t length, bool idr, int64_t* poc);

  bool haveSps = false;
  uint32_t log2MaxFrameNum = 4;
  uint32_t pocType = 0;
  uint32_t log2MaxPocLsb = 4;
  bool frameMbsOnly = true;
  bool separateColourPlane = false;
  bool bottomFieldPicOrder = false;
  int64_t prevPocMsb = 0;
  int64_t prevPocLsb = 0;
};

// Composition times for a whole stream from a frame rate: the display delay
// (in frames) is learned from the first frames, then each frame's offset of
// display over decode time follows from its display index.
class CompositionClock {
 public:
  CompositionClock(double fps, int64_t delayFrames) : fps(fps), delay(delayFrames) {}
  // Decode time (ms from the stream start) and composition offset of the
  // next frame.
  void Next(const PictureOrder::Frame& frame, uint64_t* decodeMs, int* compositionMs);

 private:
  double fps;
  int64_t delay;
  int64_t decodeIndex = 0;
  int64_t idrIndex = 0;
};

// Display delay of a stream in frames: the largest lead of decode over
// display order among the first frames (0 without B-frames).
int64_t LearnDisplayDelay(const char* path, int frames);

}  // namespace vidscribe_tool

#endif  // VIDSCRIBE_TOOL_PICTURE_ORDER_H

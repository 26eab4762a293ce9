// Everything a Vidscriber holds. Kept out of the public header so that the
// exported class stays one pointer wide and internal types stay internal.
#ifndef VIDSCRIBE_RECORDER_VIDSCRIBER_STATE_H
#define VIDSCRIBE_RECORDER_VIDSCRIBER_STATE_H

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "base/mutex.h"
#include "bitstream/stream_params.h"
#include "vidscribe/vidscribe.h"

namespace vidscribe {

constexpr const char* kFlvTag = "Flv";
constexpr int64_t kFirstSlot = 9;    // PreviousTagSize0 right after the file header
constexpr int kFileHeaderSize = 13;  // header (9) and PreviousTagSize0 (4)

struct VidscriberState {
  explicit VidscriberState(bool keyframeMode) : keyframeMode(keyframeMode) {}

  // Resets the recording fields; parameter sets, the work buffer, the mode
  // and the channel stay.
  void Reset();

  int32_t videoCodec = -1;  // -1 none; 0 present in an opened file, codec unknown
  // Picture size, audio format and the H.264 parameter sets.
  StreamParams params;
  double framerate = 0.0;
  uint32_t duration = 0;
  int64_t videoBytes = 0;
  int32_t videoFrames = 0;
  // Time (ms) -> file offset of the key frame's TagType byte.
  std::map<uint64_t, int64_t> KeyframeIndex;
  const bool keyframeMode;
  // stdio buffer of a recording's file: tags arrive tens of bytes at a time,
  // and a page-sized buffer would cost a system call for most of them.
  // Declared before io, which must be closed while the buffer still exists.
  std::unique_ptr<char[]> ioBuffer;
  FLVIO io;
  FLVIO::Mode mode = FLVIO::ModeRead;
  // A host stream never receives bytes, so Close must not try to finish it.
  bool attachedStream = false;
  Mutex lock;
  std::vector<uint8_t> workBuffer;  // converted video frames; only grows
  bool aacConfigPending = true;
  bool firstVideoFrame = true;
  uint32_t timeBase = 0;
  uint32_t resumeOffset = 0;
};

// Opens path for reading. The channel opens read-and-write; a file the
// process may only read (a recording on read-only media, say) is then
// opened read-only, since reading never writes.
bool OpenForReading(FLVIO& io, const char* path);

struct VidscriberAccess {
  static VidscriberState& Of(Vidscriber& writer) { return *writer.state; }
};

}  // namespace vidscribe

#endif  // VIDSCRIBE_RECORDER_VIDSCRIBER_STATE_H

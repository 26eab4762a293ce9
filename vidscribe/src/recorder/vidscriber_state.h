// Everything a Vidscriber holds. Kept out of the public header so that the
// exported class stays one pointer wide and internal types stay internal.
#ifndef VIDSCRIBE_RECORDER_VIDSCRIBER_STATE_H
#define VIDSCRIBE_RECORDER_VIDSCRIBER_STATE_H

#include <chrono>
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
constexpr int kTagHeaderSize = 11;
constexpr int kSlotHeaderSize = 15;  // PreviousTagSize (4) and the tag header

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
  int32_t audioFrames = 0;
  // The picture size came from SetVideo; otherwise it follows the SPS.
  bool sizeDeclared = false;
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
  // The last time written for each stream since Open (see afterLast).
  bool videoWritten = false;
  bool audioWritten = false;
  uint32_t lastVideoTime = 0;
  uint32_t lastAudioTime = 0;
  // A tag write failed (a full disk, say): the file no longer holds what the
  // writer thinks, so Close must neither finish it nor call it a success.
  bool writeFailed = false;
  // When the recording's buffer last went out to the file (see
  // flushWhenDue).
  std::chrono::steady_clock::time_point flushedClock;
  // Device and inode of the open file, so that it is never appended to
  // itself.
  uint64_t fileDevice = 0;
  uint64_t fileInode = 0;
};

// Opens path for reading. The channel opens read-and-write; a file the
// process may only read (a recording on read-only media, say) is then
// opened read-only, since reading never writes.
bool OpenForReading(FLVIO& io, const char* path);

// Remembers which file the channel now holds (see fileDevice).
void NoteOpenFile(VidscriberState& s, const char* path);

// Whether a script tag at slot 9 with this DataSize fits the file: its
// back-pointer repeats the size, and the file ends there or a tag follows.
// Damage to that size is what an in-place rewrite must never trust.
bool MetaDataFits(FLVIO& io, uint32_t dataSize);

// A video tag body (dataSize > 0) of a key frame worth an index entry: a
// picture, not a configuration or end-of-sequence packet.
bool IsIndexedKeyFrame(const uint8_t* body, uint32_t dataSize);

}  // namespace vidscribe

#endif  // VIDSCRIBE_RECORDER_VIDSCRIBER_STATE_H

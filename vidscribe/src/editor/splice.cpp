// Material added at the end of a recording: another FLV file's media, or a
// stretch of silent audio. Both move duration and resumeOffset, so that live
// frames recorded afterwards continue after the added material.
//
// An edit that fails part-way (a full disk) cuts the file back to where it
// ended before the edit and marks the writer failed, so Close leaves the
// onMetaData of the untouched file alone and reports the failure.
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "base/big_endian.h"
#include "log/log_channel.h"
#include "recorder/vidscriber_state.h"

using vidscribe::kAudioTag;
using vidscribe::kFirstSlot;
using vidscribe::kFlvTag;
using vidscribe::kVideoTag;
using vidscribe::LogPrint;

namespace {

// The audio interval and tag header a run of mute frames is made of.
struct MuteFrame {
  uint32_t interval = 0;
  uint8_t header[2] = {0, 1};
  int headerLength = 0;
};

// A media frame, as opposed to a sequence header or an end-of-sequence
// packet, which are stamped but never shown. *shownAfter receives the
// composition time of an AVC picture (signed 24 bits).
bool isMediaFrame(FlvTag& tag, int32_t* shownAfter) {
  *shownAfter = 0;
  const uint32_t size = std::min<uint32_t>(tag.GetDataSize(), static_cast<uint32_t>(tag.bodyRead));
  const uint8_t* body = tag.buffer + vidscribe::kSlotHeaderSize;
  if (size < 1) return false;
  if (tag.GetType() == kAudioTag)
    return (body[0] >> 4) != vidscribe::kSoundAac || (size >= 2 && body[1] != 0);
  if (tag.GetType() != kVideoTag) return false;
  if ((body[0] & 0x0F) != vidscribe::kCodecAvc) return true;
  if (size < 5 || body[1] != 1) return false;
  const uint32_t cts = vidscribe::GetU24(body + 2);
  *shownAfter = static_cast<int32_t>(cts << 8) >> 8;
  return true;
}

// Where each stream of a file ends or starts, on the file's own clock.
struct StreamTimes {
  int videoFrames = 0;
  int audioFrames = 0;
  uint32_t video = 0;  // decode time of the last (first) video frame
  uint32_t audio = 0;  // time of the last (first) audio frame
  uint32_t videoStep = 0;
  uint32_t audioStep = 0;
  int64_t shown = 0;  // latest (earliest) instant a frame is shown
};

// Enough frames to see the frame spacing and, with B-frames, the picture
// shown last (or first), which is not the last (first) in decode order.
constexpr int kVideoFramesLooked = 16;
constexpr int kTagsLooked = 600;

// Walking back from the end, the first frame met of a stream is its last
// and the second gives the frame spacing.
void noteFrame(StreamTimes& ends, FlvTag& tag, int32_t shownAfter) {
  const uint32_t t = tag.GetTimeStamp();
  const bool audio = tag.GetType() == kAudioTag;
  int& count = audio ? ends.audioFrames : ends.videoFrames;
  uint32_t& last = audio ? ends.audio : ends.video;
  uint32_t& step = audio ? ends.audioStep : ends.videoStep;
  if (count == 0) last = t;
  if (count == 1 && last > t) step = last - t;
  ++count;
  if (!audio) ends.shown = std::max<int64_t>(ends.shown, int64_t{t} + shownAfter);
}

// The destination's streams, walked back from its last tag.
StreamTimes destinationEnds(FLVIO& io, double framerate) {
  StreamTimes ends;
  FlvTag tag;
  const int64_t last = io.Seek(-4, 2);
  uint8_t size[4];
  if (last <= kFirstSlot || io.Read(size, 4) != 4) return ends;
  const int64_t slot = last - int64_t{vidscribe::GetU32(size)} - 4;
  bool more = slot >= kFirstSlot && io.Seek(slot, 0) == slot && tag.ReadHdr(io, 0);
  for (int i = 0; more && i < kTagsLooked; ++i, more = tag.Prev(io)) {
    if (!tag.ReadBody(io, 5)) break;
    int32_t shownAfter = 0;
    if (isMediaFrame(tag, &shownAfter)) noteFrame(ends, tag, shownAfter);
    if (ends.videoFrames >= kVideoFramesLooked && ends.audioFrames >= 2) break;
  }
  if (ends.videoFrames > 0 && ends.videoStep == 0 && framerate > 0)
    ends.videoStep = static_cast<uint32_t>(1000 / framerate + 0.5);
  ends.shown = std::max<int64_t>(ends.videoFrames > 0 ? ends.shown + ends.videoStep : 0,
                                 ends.audioFrames > 0 ? int64_t{ends.audio} + ends.audioStep : 0);
  return ends;
}

// The source's streams from its first tags; the source is left at slot 9.
StreamTimes sourceStarts(Vidscriber& source, FLVIO& io) {
  StreamTimes starts;
  starts.shown = INT64_MAX;
  FlvTag tag;
  for (int i = 0; i < kTagsLooked && source.ReadTag(tag); ++i) {
    int32_t shownAfter = 0;
    if (!isMediaFrame(tag, &shownAfter)) continue;
    const uint32_t t = tag.GetTimeStamp();
    if (tag.GetType() == kAudioTag && starts.audioFrames++ == 0) starts.audio = t;
    if (tag.GetType() == kVideoTag && starts.videoFrames++ == 0) starts.video = t;
    starts.shown =
        std::min<int64_t>(starts.shown, int64_t{t} + (tag.GetType() == kVideoTag ? shownAfter : 0));
    if (starts.videoFrames >= kVideoFramesLooked && starts.audioFrames >= 1) break;
  }
  if (starts.shown == INT64_MAX) starts.shown = 0;
  io.Seek(kFirstSlot, 0);
  return starts;
}

// The shift from the source's clock to the file's: the source is shown gap
// ms after the destination ends, and each of its streams starts strictly
// after the destination's last frame of that stream (so no stream steps
// back, whatever the B-frame delays on either side).
int64_t appendShift(const StreamTimes& ends, const StreamTimes& starts, int64_t gap) {
  int64_t shift = ends.shown + gap - starts.shown;
  if (ends.videoFrames > 0 && starts.videoFrames > 0)
    shift = std::max<int64_t>(shift, int64_t{ends.video} + 1 - starts.video);
  if (ends.audioFrames > 0 && starts.audioFrames > 0)
    shift = std::max<int64_t>(shift, int64_t{ends.audio} + 1 - starts.audio);
  return shift;
}

bool sameFile(const char* path, const vidscribe::VidscriberState& s) {
  struct stat info;
  return path != nullptr && s.fileInode != 0 && ::stat(path, &info) == 0 &&
         static_cast<uint64_t>(info.st_dev) == s.fileDevice &&
         static_cast<uint64_t>(info.st_ino) == s.fileInode;
}

// Cuts off what a failed edit added (bytes it could not write included) and
// marks the writer failed, so Close does not rewrite onMetaData.
void undoAppend(vidscribe::VidscriberState& s, int64_t end, const char* what) {
  LogPrint(kFlvTag, "%s could not write, file cut back to %lld", what, static_cast<long long>(end));
  if (end >= 0) s.io.Truncate(end);
  s.io.Seek(0, 2);
  s.writeFailed = true;
}

}  // namespace

bool Vidscriber::AddFlv(const char* path, int64_t offset) {
  LogPrint(kFlvTag, "AddFlv");
  // Reading the file being appended to would read its own new tags, until
  // the disk is full.
  if (!state->io.isOpen() || sameFile(path, *state)) {
    LogPrint(kFlvTag, "AddFlv unable to open flv %s", path != nullptr ? path : "(null)");
    return false;
  }
  Vidscriber source(false);
  bool opened = vidscribe::OpenForReading(source.state->io, path);
  if (opened) {
    source.state->mode = FLVIO::ModeRead;
    opened = source.Check(true) == 0;
    if (opened) source.state->io.Seek(kFirstSlot, 0);
    LogPrint(kFlvTag, "Open %s,%d return %d", path, 0, opened ? 1 : 0);
  }
  if (!opened) {
    LogPrint(kFlvTag, "AddFlv unable to open flv %s", path != nullptr ? path : "(null)");
    return false;
  }
  vidscribe::MutexGuard guard(state->lock);
  int64_t gap = offset;
  if (offset < 0) {
    LogPrint(kFlvTag, "Add space slice for %d", static_cast<int>(offset));
    if (AddSpace(static_cast<uint32_t>(-offset)) < 0) return false;
    gap = -offset;
  }
  FLVIO& io = state->io;
  const StreamTimes ends = destinationEnds(io, state->framerate);
  const int64_t shift = appendShift(ends, sourceStarts(source, source.state->io), gap);
  const int64_t start = io.Seek(0, 2);
  uint32_t lastOut[2] = {ends.audioFrames > 0 ? ends.audio + 1 : 0,
                         ends.videoFrames > 0 ? ends.video + 1 : 0};
  FlvTag tag;
  bool written = start >= 0;
  while (written && source.ReadTag(tag)) {
    const uint8_t type = tag.GetType();
    if (type != kAudioTag && type != kVideoTag) continue;
    // Sequence headers keep their place ahead of the frames they describe
    // but never step back behind the destination's last frame.
    uint32_t& last = lastOut[type == kVideoTag ? 1 : 0];
    const uint32_t t = static_cast<uint32_t>(std::max<int64_t>(int64_t{tag.GetTimeStamp()} + shift, last));
    last = t;
    tag.SetTimeStamp(t);
    int32_t shownAfter = 0;
    const bool picture = type == kVideoTag && isMediaFrame(tag, &shownAfter);
    if (state->keyframeMode && tag.isKeyFrame() && picture) state->KeyframeIndex[t] = io.Pos();
    written = tag.Write2(io);
    if (t > state->duration) state->duration = t;
  }
  if (!written || !io.Flush()) {
    undoAppend(*state, start, "AddFlv");
    return false;
  }
  state->timeBase = 0;
  state->resumeOffset = state->duration;
  return true;
}

int Vidscriber::AddSpace(uint32_t milliseconds) {
  vidscribe::MutexGuard guard(state->lock);
  LogPrint(kFlvTag, "AddSpace %d", static_cast<int>(milliseconds));
  FLVIO& io = state->io;
  if (!io.isOpen()) return 0;
  MuteFrame mute;
  uint32_t first = 0;
  bool haveAudioTag = false;
  FlvTag tag;
  io.Seek(kFirstSlot, 0);
  while (ReadTag(tag)) {
    if (tag.GetType() != kAudioTag) continue;
    int offset = 0;
    ParseTag(tag, offset, 0);
    if (tag.GetDataSize() >= 1) {
      haveAudioTag = true;
      mute.header[0] = tag.buffer[vidscribe::kSlotHeaderSize];
    }
    const uint32_t t = tag.GetTimeStamp();
    if (t == 0) continue;
    if (first == 0) {
      first = t;
      continue;
    }
    mute.interval = t - first;
    LogPrint(kFlvTag, "read delta %d from timestamp %d,%d", static_cast<int>(mute.interval),
             static_cast<int>(first), static_cast<int>(t));
    break;
  }
  const vidscribe::StreamParams& p = state->params;
  if (p.audioCodec == vidscribe::kSoundAac && p.sampleRate != 0) {
    const uint32_t aacInterval = 1024000u / static_cast<uint32_t>(p.sampleRate);
    LogPrint(kFlvTag, "reset aac delta from %d to %d", static_cast<int>(mute.interval),
             static_cast<int>(aacInterval));
    mute.interval = aacInterval;
  }
  // Mute AAC frames carry a raw-frame packet type whatever tag was last
  // seen: a copied sequence-header type would announce a configuration
  // that is not there.
  if (p.audioCodec == vidscribe::kSoundAac) {
    if (!haveAudioTag) mute.header[0] = p.AudioType();
    mute.header[1] = 1;
    mute.headerLength = 2;
  } else if (haveAudioTag) {
    mute.headerLength = 1;
  }
  if (mute.interval == 0 || mute.headerLength == 0) return 0;
  const int64_t end = io.Seek(0, 2);
  const uint32_t count = milliseconds / mute.interval;
  LogPrint(kFlvTag, "write %dx %dms mute audio frame from pos %lld", static_cast<int>(count),
           static_cast<int>(mute.interval), static_cast<long long>(end));
  const uint32_t duration = state->duration;
  bool written = end >= 0;
  for (uint32_t i = 0; written && i < count; ++i) {
    state->duration += mute.interval;
    written = WriteTag(kAudioTag, state->duration, mute.header, mute.headerLength, nullptr, 0) == 0;
  }
  if (!written || !io.Flush()) {
    undoAppend(*state, end, "AddSpace");
    state->duration = duration;
    return -1;
  }
  state->timeBase = 0;
  state->resumeOffset = state->duration;
  return static_cast<int>(count * mute.interval);
}

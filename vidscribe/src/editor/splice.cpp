// Material added at the end of a recording: another FLV file's media, or a
// stretch of silent audio. Both move duration and resumeOffset, so that live
// frames recorded afterwards continue after the added material.
#include <memory>

#include "log/log_channel.h"
#include "recorder/vidscriber_state.h"

using vidscribe::kFirstSlot;
using vidscribe::kFlvTag;
using vidscribe::LogPrint;

namespace {

// The audio interval and tag header a run of mute frames is made of.
struct MuteFrame {
  uint32_t interval = 0;
  uint8_t header[2] = {0, 1};
  int headerLength = 0;
};

}  // namespace

bool Vidscriber::AddFlv(const char* path, int64_t offset) {
  LogPrint(kFlvTag, "AddFlv");
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
  uint32_t gap = static_cast<uint32_t>(offset);
  if (offset < 0) {
    LogPrint(kFlvTag, "Add space slice for %d", static_cast<int>(offset));
    AddSpace(static_cast<uint32_t>(-offset));
    gap = static_cast<uint32_t>(-offset);
  }
  const uint32_t base = gap + state->duration;
  FLVIO& io = state->io;
  io.Seek(0, 2);
  FlvTag tag;
  bool haveReference = false;
  uint32_t reference = 0;
  while (source.ReadTag(tag)) {
    const uint8_t type = tag.GetType();
    if (type != 8 && type != 9) continue;
    // The source's timeline starts at its first media tag, so that media
    // stamped 0 (sequence headers, first frames) lands at base instead of
    // wrapping around below it.
    if (!haveReference) {
      reference = tag.GetTimeStamp();
      haveReference = true;
    }
    const uint32_t t = tag.GetTimeStamp() - reference + base;
    tag.SetTimeStamp(t);
    // Only pictures are indexed: AVC configuration and end-of-sequence
    // packets carry the key-frame flag too.
    const uint8_t* body = tag.GetData();
    const bool picture = tag.GetDataSize() > 1 && ((body[0] & 0x0F) != 7 || body[1] == 1);
    if (state->keyframeMode && tag.isKeyFrame() && picture) state->KeyframeIndex[t] = io.Pos();
    tag.Write2(io);
    // Audio and video interleave loosely, so the last tag is not always the
    // latest one; the duration must not step back.
    if (t > state->duration) state->duration = t;
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
    if (tag.GetType() != 8) continue;
    int offset = 0;
    ParseTag(tag, offset, 0);
    if (tag.GetDataSize() >= 1) {
      haveAudioTag = true;
      mute.header[0] = tag.buffer[15];
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
  if (p.audioCodec == 10 && p.sampleRate != 0) {
    const uint32_t aacInterval = 1024000u / static_cast<uint32_t>(p.sampleRate);
    LogPrint(kFlvTag, "reset aac delta from %d to %d", static_cast<int>(mute.interval),
             static_cast<int>(aacInterval));
    mute.interval = aacInterval;
  }
  // Mute AAC frames carry a raw-frame packet type whatever tag was last
  // seen: a copied sequence-header type would announce a configuration
  // that is not there.
  if (p.audioCodec == 10) {
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
  for (uint32_t i = 0; i < count; ++i) {
    state->duration += mute.interval;
    WriteTag(8, state->duration, mute.header, mute.headerLength, nullptr, 0);
  }
  state->timeBase = 0;
  state->resumeOffset = state->duration;
  return static_cast<int>(count * mute.interval);
}

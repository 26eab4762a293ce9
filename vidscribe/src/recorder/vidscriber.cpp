// Vidscriber lifecycle: construction, stream declaration, opening a new
// recording, the time mapping, raw tag writes and finishing.
#include <sys/file.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "base/big_endian.h"
#include "log/log_channel.h"
#include "recorder/vidscriber_state.h"

using vidscribe::kFlvTag;
using vidscribe::LogPrint;
using vidscribe::VidscriberState;

namespace vidscribe {

void VidscriberState::Reset() {
  videoCodec = -1;
  params.audioCodec = -1;
  params.width = 0;
  params.height = 0;
  framerate = 0.0;
  params.channels = 0;
  params.sampleRate = 0;
  params.aacProfile = 2;
  duration = 0;
  videoBytes = 0;
  videoFrames = 0;
  audioFrames = 0;
  sizeDeclared = false;
  KeyframeIndex.clear();
  aacConfigPending = true;
  firstVideoFrame = true;
  timeBase = 0;
  resumeOffset = 0;
  writeFailed = false;
  videoWritten = audioWritten = false;
  lastVideoTime = lastAudioTime = 0;
}

void NoteOpenFile(VidscriberState& s, const char* path) {
  struct stat info;
  const bool known = path != nullptr && ::stat(path, &info) == 0;
  s.fileDevice = known ? static_cast<uint64_t>(info.st_dev) : 0;
  s.fileInode = known ? static_cast<uint64_t>(info.st_ino) : 0;
}

}  // namespace vidscribe

Vidscriber::Vidscriber(bool keyframeMode) : state(new VidscriberState(keyframeMode)) {
  Reset();
}

Vidscriber::~Vidscriber() {
  Close();
  delete state;
}

int Vidscriber::Reset() {
  state->Reset();
  return 0;
}

bool Vidscriber::isOpen() const {
  return state->io.isOpen();
}

FLVIO& Vidscriber::io() {
  return state->io;
}

int Vidscriber::SetVideo(int codec, int width, int height, int fps) {
  LogPrint(kFlvTag, "SetVideo %d %dx%d fps:%d", codec, width, height, fps);
  if (state->videoCodec != -1 && state->videoCodec != 0) {
    LogPrint(kFlvTag, "warning already set, skip SetVideo");
    return -1;
  }
  state->videoCodec = codec;
  state->params.width = width;
  state->params.height = height;
  state->sizeDeclared = width > 0 && height > 0;
  state->framerate = fps;
  return 0;
}

int Vidscriber::SetAudio(int codec, int sampleRate, int channels, int profile) {
  LogPrint(kFlvTag, "SetAudio %d %dx%d %d", codec, channels, sampleRate, profile);
  vidscribe::StreamParams& p = state->params;
  if (p.audioCodec != -1 && p.audioCodec != 0) {
    LogPrint(kFlvTag, "warning already set, skip SetAudio");
    return -1;
  }
  state->aacConfigPending = !(codec == p.audioCodec && sampleRate == p.sampleRate && channels == p.channels &&
                              profile == p.aacProfile);
  p.audioCodec = codec;
  p.sampleRate = sampleRate;
  p.channels = channels;
  p.aacProfile = profile;
  return 0;
}

namespace {

constexpr size_t kRecordingBuffer = 1 << 20;

// "wb+" as the channel would open it, with a large buffer. The old file is
// closed (by Attach) before its buffer is let go.
bool createBuffered(vidscribe::VidscriberState& s, const char* path) {
  FILE* file = path != nullptr ? std::fopen(path, "wb+") : nullptr;
  LogPrint(kFlvTag, "OpenFile %s,%d return %d", path != nullptr ? path : "(null)", 1,
           file != nullptr ? 1 : 0);
  if (file == nullptr) return false;
  // Held while the recording runs, so a repair never replaces it under its
  // recorder (advisory: only our own repair looks).
  ::flock(fileno(file), LOCK_EX | LOCK_NB);
  std::unique_ptr<char[]> buffer(new char[kRecordingBuffer]);
  std::setvbuf(file, buffer.get(), _IOFBF, kRecordingBuffer);
  s.io.Attach(file);
  s.ioBuffer = std::move(buffer);
  vidscribe::NoteOpenFile(s, path);
  return true;
}

}  // namespace

bool Vidscriber::Open(const char* path) {
  if (!createBuffered(*state, path)) return false;
  state->attachedStream = false;
  state->writeFailed = false;
  state->timeBase = 0;
  state->duration = 0;
  state->resumeOffset = 0;
  state->mode = FLVIO::ModeCreate;
  startRecording();
  LogPrint(kFlvTag, "Open %s,%d return %d", path, 1, 1);
  return true;
}

bool Vidscriber::startRecording() {
  // A new file needs its own AVC sequence header even when the stream brings
  // the same parameter sets as the previous recording of this object.
  state->params.sps.clear();
  state->params.pps.clear();
  state->flushedClock = std::chrono::steady_clock::now();
  if (state->keyframeMode) {
    WriteHeader();
  } else {
    WriteMetaData();
  }
  return true;
}

// Both streams share one base, fixed by the first stamped frame of either.
// A frame stamped before that base (the other stream's encoder was first to
// deliver, but this frame lies earlier on the caller's clock) is written at
// 0 rather than wrapping round to 49 days; *exact keeps its true place, so
// a video frame written later than that can keep its display time in its
// composition time. The difference is taken as signed, so a caller clock
// that wraps still counts forward. The duration is the latest time written
// so far: with two encoder threads the frame written last is not always the
// latest, and a duration that stepped back would cut the other stream off.
uint32_t Vidscriber::getTime(uint32_t timestamp, int64_t* exact) {
  vidscribe::MutexGuard guard(state->lock);
  if (exact != nullptr) *exact = 0;
  if (timestamp == 0) return 0;
  if (state->timeBase == 0) state->timeBase = timestamp - state->resumeOffset;
  const int32_t since = static_cast<int32_t>(timestamp - state->timeBase);
  if (exact != nullptr) *exact = since;
  const uint32_t mapped = since < 0 ? 0 : static_cast<uint32_t>(since);
  if (mapped > state->duration) state->duration = mapped;
  return mapped;
}

// Each stream's tags go strictly forward in time, as players and muxers
// demand: a frame that maps onto or before the stream's last one (frames
// from before the base, all written at 0) moves just past it. Timestamp 0
// means "no time" and passes unchanged.
uint32_t Vidscriber::afterLast(uint32_t t, uint32_t timestamp, bool video) {
  vidscribe::VidscriberState& s = *state;
  uint32_t& last = video ? s.lastVideoTime : s.lastAudioTime;
  bool& any = video ? s.videoWritten : s.audioWritten;
  if (timestamp != 0 && any && t <= last) t = last + 1;
  if (timestamp != 0) {
    last = t;
    any = true;
  }
  if (t > s.duration) s.duration = t;
  return t;
}

void Vidscriber::WriteHeader() {
  if (!state->io.isOpen()) return;
  uint8_t header[vidscribe::kFileHeaderSize] = {'F', 'L', 'V', 1, 0, 0, 0, 0, 9, 0, 0, 0, 0};
  if (state->videoCodec != -1) header[4] |= 0x01;
  if (state->params.audioCodec != -1) header[4] |= 0x04;
  state->io.Seek(0, 0);
  if (state->io.Write(header, sizeof header) != static_cast<int32_t>(sizeof header) && !state->attachedStream)
    state->writeFailed = true;
}

int Vidscriber::WriteTag(uint8_t type, uint32_t timestamp, const uint8_t* header, int headerLength,
                         const uint8_t* payload, int payloadLength) {
  vidscribe::MutexGuard guard(state->lock);
  if (!state->io.isOpen()) return -1;
  if (state->attachedStream) return 0;  // a host's stream never receives bytes
  if (header == nullptr || headerLength < 0) headerLength = 0;
  if (payload == nullptr || payloadLength < 0) payloadLength = 0;
  const uint32_t dataSize = static_cast<uint32_t>(headerLength) + static_cast<uint32_t>(payloadLength);
  uint8_t tagHeader[vidscribe::kTagHeaderSize] = {type};
  vidscribe::PutU24(tagHeader + 1, dataSize);
  vidscribe::PutU24(tagHeader + 4, timestamp & 0xFFFFFF);
  tagHeader[7] = static_cast<uint8_t>(timestamp >> 24);
  uint8_t trailer[4];
  vidscribe::PutU32(trailer, dataSize + vidscribe::kTagHeaderSize);
  FLVIO& io = state->io;
  bool written = io.Write(tagHeader, sizeof tagHeader) == static_cast<int32_t>(sizeof tagHeader);
  if (headerLength > 0) written = io.Write(header, headerLength) == headerLength && written;
  if (payloadLength > 0) written = io.Write(payload, payloadLength) == payloadLength && written;
  written = io.Write(trailer, sizeof trailer) == static_cast<int32_t>(sizeof trailer) && written;
  if (written) return 0;
  if (!state->writeFailed) LogPrint(kFlvTag, "WriteTag failed at %lld", static_cast<long long>(io.Pos()));
  state->writeFailed = true;
  return -1;
}

bool Vidscriber::Close() {
  LogPrint(kFlvTag, "Stop");
  if (!state->io.isOpen()) {
    Reset();
    return false;
  }
  bool finished = true;
  if (state->mode != FLVIO::ModeRead && !state->attachedStream) {
    // A file that lost a write is not finished: rewriting its metadata would
    // describe media that is not there (and may fail half-way again).
    finished = !state->writeFailed && state->io.Flush();
    const int64_t size = state->io.Size();
    if (finished && size > 9) {
      LogPrint(kFlvTag, "Stop with duration %d, size %lld", static_cast<int>(state->duration),
               static_cast<long long>(size));
      finished = WriteMetaData() == 0 && state->io.Flush();
    }
    if (!finished) LogPrint(kFlvTag, "Stop could not finish the file");
  }
  state->io.Close();
  state->attachedStream = false;
  Reset();
  return finished;
}

void Vidscriber::Describe(vidscribe::MediaDescription& out) {
  vidscribe::MutexGuard guard(state->lock);
  const VidscriberState& s = *state;
  out = vidscribe::MediaDescription();
  out.videoCodec = s.videoCodec;
  out.width = s.params.width;
  out.height = s.params.height;
  out.framerate = s.framerate;
  out.audioCodec = s.params.audioCodec;
  out.sampleRate = s.params.sampleRate;
  out.channels = s.params.channels;
  out.aacProfile = s.params.aacProfile;
  out.duration = s.duration;
  out.videoFrames = static_cast<uint32_t>(s.videoFrames);
  out.audioFrames = static_cast<uint32_t>(s.audioFrames);
  out.indexedKeyFrames = static_cast<uint32_t>(s.KeyframeIndex.size());
}

int Vidscriber::MakeAVCc(char* out, int capacity) {
  return state->params.MakeAVCc(out, capacity);
}

int Vidscriber::MakeAVCc(const char* src, int srcLength, char* out, int capacity) {
  return vidscribe::StreamParams::MakeAVCc(src, srcLength, out, capacity);
}

int Vidscriber::ParseAVCc(const uint8_t* record, int length) {
  return state->params.ParseAVCc(record, length);
}

int Vidscriber::MakeSeqNal(uint8_t* out, int capacity) {
  return state->params.MakeSeqNal(out, capacity);
}

bool Vidscriber::hasSeqVideo() {
  return state->params.hasSeqVideo();
}

uint8_t Vidscriber::AudioType() {
  return state->params.AudioType();
}

int Vidscriber::genAdtsHeader(uint8_t* out, int payloadLength) {
  return state->params.genAdtsHeader(out, payloadLength);
}

// Vidscriber lifecycle: construction, stream declaration, opening a new
// recording, the time mapping, raw tag writes and finishing.
#include <cstdio>
#include <cstring>
#include <memory>

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
  KeyframeIndex.clear();
  aacConfigPending = true;
  firstVideoFrame = true;
  timeBase = 0;
  resumeOffset = 0;
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
  std::unique_ptr<char[]> buffer(new char[kRecordingBuffer]);
  std::setvbuf(file, buffer.get(), _IOFBF, kRecordingBuffer);
  s.io.Attach(file);
  s.ioBuffer = std::move(buffer);
  return true;
}

}  // namespace

bool Vidscriber::Open(const char* path) {
  if (!createBuffered(*state, path)) return false;
  state->attachedStream = false;
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
  if (state->keyframeMode) {
    WriteHeader();
  } else {
    WriteMetaData();
  }
  return true;
}

uint32_t Vidscriber::getTime(uint32_t timestamp) {
  vidscribe::MutexGuard guard(state->lock);
  if (timestamp == 0) return 0;
  if (state->timeBase == 0) state->timeBase = timestamp - state->resumeOffset;
  const uint32_t mapped = timestamp - state->timeBase;
  state->duration = mapped;
  return mapped;
}

void Vidscriber::WriteHeader() {
  if (!state->io.isOpen()) return;
  uint8_t header[vidscribe::kFileHeaderSize] = {'F', 'L', 'V', 1, 0, 0, 0, 0, 9, 0, 0, 0, 0};
  if (state->videoCodec != -1) header[4] |= 0x01;
  if (state->params.audioCodec != -1) header[4] |= 0x04;
  state->io.Seek(0, 0);
  state->io.Write(header, sizeof header);
}

int Vidscriber::WriteTag(uint8_t type, uint32_t timestamp, const uint8_t* header, int headerLength,
                         const uint8_t* payload, int payloadLength) {
  vidscribe::MutexGuard guard(state->lock);
  if (!state->io.isOpen()) return -1;
  if (header == nullptr || headerLength < 0) headerLength = 0;
  if (payload == nullptr || payloadLength < 0) payloadLength = 0;
  const uint32_t dataSize = static_cast<uint32_t>(headerLength) + static_cast<uint32_t>(payloadLength);
  const uint8_t tagHeader[11] = {type,
                                 static_cast<uint8_t>(dataSize >> 16),
                                 static_cast<uint8_t>(dataSize >> 8),
                                 static_cast<uint8_t>(dataSize),
                                 static_cast<uint8_t>(timestamp >> 16),
                                 static_cast<uint8_t>(timestamp >> 8),
                                 static_cast<uint8_t>(timestamp),
                                 static_cast<uint8_t>(timestamp >> 24),
                                 0,
                                 0,
                                 0};
  const uint32_t tagSize = dataSize + 11;
  const uint8_t trailer[4] = {static_cast<uint8_t>(tagSize >> 24), static_cast<uint8_t>(tagSize >> 16),
                              static_cast<uint8_t>(tagSize >> 8), static_cast<uint8_t>(tagSize)};
  FLVIO& io = state->io;
  io.Write(tagHeader, sizeof tagHeader);
  if (headerLength > 0) io.Write(header, headerLength);
  if (payloadLength > 0) io.Write(payload, payloadLength);
  io.Write(trailer, sizeof trailer);
  return 0;
}

bool Vidscriber::Close() {
  LogPrint(kFlvTag, "Stop");
  if (!state->io.isOpen()) {
    Reset();
    return false;
  }
  if (state->mode != FLVIO::ModeRead && !state->attachedStream) {
    const int64_t size = state->io.Size();
    if (size > 9) {
      LogPrint(kFlvTag, "Stop with duration %d, size %lld", static_cast<int>(state->duration),
               static_cast<long long>(size));
      WriteMetaData();
    }
  }
  state->io.Close();
  state->attachedStream = false;
  Reset();
  return true;
}

// Live frames into tags. Each call holds the writer's lock from the time
// mapping to its last tag: the sequence headers, the key-frame position and
// the frame's tag then stay together in the file, and the pending flags and
// counters that both threads touch are never raced on.
//
// A recording killed mid-way keeps whatever reached its file, and a repair
// makes that whole (RepairRecording). So the 1 MiB buffer goes out at least
// every half second of wall-clock time: a crash loses no more than the
// recorder took in that half second. (Wall-clock, not media time: a live
// recording gets both at once, and one fed faster than it plays can be made
// again from its source.)
#include <algorithm>
#include <chrono>
#include <cstring>

#include "bitstream/aac_config.h"
#include "bitstream/annexb.h"
#include "bitstream/sps_parser.h"
#include "log/log_channel.h"
#include "recorder/vidscriber_state.h"

using vidscribe::kAudioTag;
using vidscribe::kCodecAvc;
using vidscribe::kCodecVp6;
using vidscribe::kFlvTag;
using vidscribe::kSoundAac;
using vidscribe::kVideoTag;
using vidscribe::LogPrint;

namespace {

// Parameter sets and the key-frame flag found in one converted frame.
struct FrameUnits {
  const uint8_t* sps = nullptr;
  size_t spsLength = 0;
  const uint8_t* pps = nullptr;
  size_t ppsLength = 0;
  bool idr = false;
};

FrameUnits scanUnits(const uint8_t* data, size_t length) {
  FrameUnits found;
  vidscribe::ForEachLengthPrefixedUnit(data, length, [&found](const uint8_t* unit, size_t size) {
    if (size == 0) return;
    switch (vidscribe::UnitType(unit)) {
      case vidscribe::kUnitIdr:
        found.idr = true;
        break;
      case vidscribe::kUnitSps:
        found.sps = unit;
        found.spsLength = size;
        break;
      case vidscribe::kUnitPps:
        found.pps = unit;
        found.ppsLength = size;
        break;
      default:
        break;
    }
  });
  return found;
}

// Stores a parameter set the frame brought when it differs; true on change.
bool takeParameterSet(std::vector<uint8_t>& stored, const uint8_t* unit, size_t length, const char* what) {
  if (unit == nullptr) return false;
  if (stored.size() == length && std::memcmp(stored.data(), unit, length) == 0) return false;
  LogPrint(kFlvTag, "%s change %d->%d", what, static_cast<int>(stored.size()), static_cast<int>(length));
  stored.assign(unit, unit + length);
  return true;
}

constexpr auto kFlushEvery = std::chrono::milliseconds(500);

void flushWhenDue(vidscribe::VidscriberState& s) {
  const auto now = std::chrono::steady_clock::now();
  if (now - s.flushedClock < kFlushEvery) return;
  s.flushedClock = now;
  if (!s.io.Flush()) s.writeFailed = true;
}

}  // namespace

void Vidscriber::WriteAacSeqInfo(uint32_t time) {
  if (!state->aacConfigPending) return;
  state->aacConfigPending = false;
  if (state->params.audioCodec != kSoundAac) return;
  uint8_t header[4] = {state->params.AudioType(), 0x00, 0, 0};
  vidscribe::BuildAudioSpecificConfig(header + 2, state->params.sampleRate, state->params.channels,
                                      state->params.aacProfile);
  WriteTag(kAudioTag, time, header, sizeof header, nullptr, 0);
}

namespace {

// A caller that declared no picture size gets the one its SPS describes.
void takePictureSize(vidscribe::VidscriberState& s) {
  int width = 0, height = 0;
  if (s.sizeDeclared || !vidscribe::ParseSpsSize(s.params.sps.data(), s.params.sps.size(), &width, &height))
    return;
  s.params.width = width;
  s.params.height = height;
}

}  // namespace

int Vidscriber::WriteVideo(uint8_t* data, int length, unsigned int timestamp, bool keyframe,
                           int compositionTime) {
  vidscribe::MutexGuard guard(state->lock);
  if (!state->io.isOpen() || data == nullptr || length < 0) return 0;
  int64_t exact = 0;
  const uint32_t t = afterLast(getTime(timestamp, &exact), timestamp, true);
  const uint8_t* frame = data;
  size_t frameLength = static_cast<size_t>(length);

  if (state->videoCodec == kCodecAvc) {
    keyframe = false;
    // Every three-byte start code grows by one byte, so the plain
    // length + 32 would not hold a frame with many slices.
    const size_t needed = vidscribe::AnnexBMaxOutput(frameLength) + 32;
    if (state->workBuffer.size() < needed) state->workBuffer.resize(needed);
    size_t converted = 0;
    vidscribe::AnnexBToLengthPrefixed(data, frameLength, state->workBuffer.data(), state->workBuffer.size(),
                                      &converted);
    const FrameUnits units = scanUnits(state->workBuffer.data(), converted);
    keyframe = units.idr;
    vidscribe::StreamParams& p = state->params;
    bool changed = takeParameterSet(p.sps, units.sps, units.spsLength, "sps");
    changed = takeParameterSet(p.pps, units.pps, units.ppsLength, "pps") || changed;
    if (p.sps.empty() || p.pps.empty()) {
      LogPrint(kFlvTag, "*** unable to got sps and pps from x264 frame");
      return 0;
    }
    if (changed) {
      // The record is sized for the sets it carries: a set with scaling
      // matrices must not lose the stream its configuration.
      std::vector<char> record(p.sps.size() + p.pps.size() + 16);
      const int recordLength = p.MakeAVCc(record.data(), static_cast<int>(record.size()));
      if (recordLength <= 0) {
        // Forget the sets so the next frame that brings usable ones retries.
        p.sps.clear();
        p.pps.clear();
        return 0;
      }
      static const uint8_t kSeqHeader[5] = {0x17, 0x00, 0x00, 0x00, 0x00};
      WriteTag(kVideoTag, t, kSeqHeader, sizeof kSeqHeader, reinterpret_cast<const uint8_t*>(record.data()),
               recordLength);
      takePictureSize(*state);
    }
    frame = state->workBuffer.data();
    frameLength = converted;
  }

  if (state->firstVideoFrame) {
    if (state->params.audioCodec == kSoundAac && state->params.channels != 0 && state->aacConfigPending)
      WriteAacSeqInfo(t);
    state->firstVideoFrame = false;
  }

  uint8_t header[5] = {static_cast<uint8_t>((state->videoCodec & 0xFF) | (keyframe ? 0x10 : 0x20)), 0, 0, 0,
                       0};
  int headerLength = 1;
  if (state->videoCodec == kCodecVp6) {
    headerLength = 2;
  } else if (state->videoCodec == kCodecAvc) {
    // A frame written later than its time (see afterLast) waits that much
    // less to be shown, so it still appears when the caller said.
    const int64_t shown = std::max<int64_t>(int64_t{compositionTime} - (int64_t{t} - exact), 0);
    header[1] = 1;
    vidscribe::PutU24(header + 2, static_cast<uint32_t>(shown > 0x7FFFFF ? 0x7FFFFF : shown));
    headerLength = 5;
  }
  if (keyframe) state->KeyframeIndex[t] = state->io.Pos();
  if (WriteTag(kVideoTag, t, header, headerLength, frame, static_cast<int>(frameLength)) != 0) return -1;
  state->videoBytes += static_cast<int64_t>(frameLength);
  state->videoFrames += 1;
  flushWhenDue(*state);
  return state->writeFailed ? -1 : 0;
}

int Vidscriber::WriteAudio(uint8_t* data, int length, unsigned int timestamp) {
  vidscribe::MutexGuard guard(state->lock);
  if (!state->io.isOpen() || data == nullptr || length < 0) return 0;
  const uint32_t t = afterLast(getTime(timestamp), timestamp, false);
  vidscribe::StreamParams& p = state->params;
  if (p.audioCodec == kSoundAac && length > vidscribe::kAdtsHeaderSize) {
    int rate = 0, channels = 0, profile = 0;
    if (vidscribe::ReadAdtsHeader(data, &rate, &channels, &profile)) {
      data += vidscribe::kAdtsHeaderSize;
      length -= vidscribe::kAdtsHeaderSize;
      if (rate != p.sampleRate || channels != p.channels || profile != p.aacProfile) {
        LogPrint(kFlvTag, "reset AAC param from atds header %dx%d %d to %dx%d %d", p.sampleRate, p.channels,
                 p.aacProfile, rate, channels, profile);
        p.sampleRate = rate;
        p.channels = channels;
        p.aacProfile = profile;
        state->aacConfigPending = true;
      }
    }
  }
  uint8_t header[2] = {p.AudioType(), 1};
  if (state->aacConfigPending) WriteAacSeqInfo(t);
  if (WriteTag(kAudioTag, t, header, p.audioCodec == kSoundAac ? 2 : 1, data, length) != 0) return -1;
  state->audioFrames += 1;
  flushWhenDue(*state);
  return state->writeFailed ? -1 : 0;
}

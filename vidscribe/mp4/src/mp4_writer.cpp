// Mp4Writer: H.264 Annex B and AAC frames in, MP4 samples out.
//
// Each track holds its latest frame back until the next one arrives, because
// an MP4 sample carries its own duration and only the following frame tells
// it. Video durations are the caller's millisecond gaps at 90 kHz. Audio runs
// in the track's sample clock: a frame lasts 1024 samples as AAC frames do,
// unless the caller's clock has moved more than half a frame away from the
// samples written so far (a lost frame, a drifting source), in which case
// the frame's duration closes the gap. So audio and video stay within a
// frame of the caller's timestamps however long the recording runs.
//
// Each track starts at its own time 0, so where the tracks begin relative to
// each other is kept in edit lists written at Close: a track whose first
// shown frame comes later on the caller's clock waits that long, and the
// video track skips the composition delay of its first picture (B-frames),
// so that picture is shown at the track's start rather than two frames late.
// They are set again as soon as each track's first frame is in, so the
// journal holds them too: a recording rebuilt after a crash keeps its
// tracks in step.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "bitstream/aac_config.h"
#include "bitstream/annexb.h"
#include "bitstream/sps_parser.h"
#include "log/log_channel.h"
#include "mp4_log_bridge.h"
#include "mp4file/mp4_file_writer.h"
#include "recorder_file_options.h"
#include "vidscribe/vidscribe.h"

using vidscribe::LogPrint;

namespace {

constexpr uint32_t kVideoTimeScale = 90000;
constexpr uint32_t kAacFrameSamples = 1024;
constexpr uint8_t kObjectTypeMpeg2AacLc = 0x67;

}  // namespace

namespace vidscribe {

mp4file::WriterOptions& RecorderFileOptions() {
  static mp4file::WriterOptions options = [] {
    mp4file::WriterOptions o;
    o.journal = true;
    return o;
  }();
  return options;
}

}  // namespace vidscribe

Mp4Writer::Mp4Writer()
    : sampleRate(44100),
      channels(1),
      aacProfile(2),
      width(0),
      height(0),
      fps(0),
      audioTrack(0),
      videoTrack(0),
      workBufferSize(0),
      lastVideoTime(0),
      lastAudioTime(0),
      lastVideoDuration(0),
      audioTimeScale(0),
      firstAudioTime(0),
      audioWritten(0),
      firstVideoTime(0),
      firstVideoOffset(0),
      videoFrames(0),
      audioFrames(0) {
  vidscribe::RouteMp4FileLog();
}

Mp4Writer::~Mp4Writer() {
  Close();
}

// The parameters are also read by the writes on other threads, so they are
// set under the same lock.
int Mp4Writer::SetVideo(int, int w, int h, int f) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  width = w;
  height = h;
  fps = f;
  LogPrint("Mp4", "SetVideo %dx%d@%d", width, height, fps);
  return 0;
}

int Mp4Writer::SetAudio(int, int rate, int ch, int profile) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  sampleRate = rate;
  channels = ch;
  aacProfile = profile;
  LogPrint("Mp4", "SetAudio %dx%d profile %d", channels, sampleRate, aacProfile);
  return 0;
}

bool Mp4Writer::Open(const char* path) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  if (path == nullptr) return false;
  // A file still open would otherwise never get its movie box.
  if (file) Close();
  file = mp4file::Mp4FileWriter::Create(path, vidscribe::RecorderFileOptions());
  if (!file) return false;
  LogPrint("Mp4", "Open %s", path);
  return true;
}

bool Mp4Writer::Close() {
  std::lock_guard<std::recursive_mutex> hold(lock);
  if (!file) return true;
  LogPrint("Mp4", "Close");
  // The last sample of each track gets the duration of the one before it.
  uint32_t lastVideo = lastVideoDuration;
  if (lastVideo == 0 && fps > 0) lastVideo = kVideoTimeScale / static_cast<uint32_t>(fps);
  writeHeldVideo(lastVideo);
  writeHeldAudio(kAacFrameSamples);
  setEdits();
  audioTrack = videoTrack = 0;
  videoFrames = audioFrames = 0;
  lastVideoTime = lastAudioTime = 0;
  lastVideoDuration = 0;
  bool finished = file->Close();
  file.reset();
  return finished;
}

bool Mp4Writer::writeHeldVideo(uint32_t duration) {
  if (!heldVideo.held) return true;
  heldVideo.held = false;
  lastVideoDuration = duration;
  return file->WriteSample(videoTrack, heldVideo.data.data(), heldVideo.length, duration, heldVideo.offset,
                           heldVideo.sync);
}

bool Mp4Writer::writeHeldAudio(uint32_t duration) {
  if (!heldAudio.held) return true;
  heldAudio.held = false;
  audioWritten += duration;
  return file->WriteSample(audioTrack, heldAudio.data.data(), heldAudio.length, duration, 0, true);
}

void Mp4Writer::createVideoTrack(const uint8_t* sps, uint32_t spsLength) {
  if (width < 1 || height < 1) {
    int w = 0, h = 0;
    if (vidscribe::ParseSpsSize(sps, spsLength, &w, &h)) {
      width = w;
      height = h;
    }
  }
  videoTrack = file->AddH264VideoTrack(kVideoTimeScale, static_cast<uint16_t>(std::clamp(width, 0, 0xFFFF)),
                                       static_cast<uint16_t>(std::clamp(height, 0, 0xFFFF)), sps[1], sps[2],
                                       sps[3], 3);
}

int Mp4Writer::WriteVideo(uint8_t* data, int length, unsigned int timestamp, bool, int compositionTime) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  if (!file) return -1;
  if (data == nullptr || length <= 0) return 0;
  size_t needed = std::max<size_t>(static_cast<size_t>(length) + 32, vidscribe::AnnexBMaxOutput(length));
  if (workBuffer.size() < needed) {
    workBuffer.assign(needed, 0);
    workBufferSize = static_cast<int32_t>(needed);
  }
  size_t converted = 0;
  vidscribe::AnnexBToLengthPrefixed(data, static_cast<size_t>(length), workBuffer.data(), workBuffer.size(),
                                    &converted);
  int result = 0;
  const uint8_t *sps = nullptr, *pps = nullptr;
  size_t spsLength = 0, ppsLength = 0;
  bool idr = false;
  vidscribe::ForEachLengthPrefixedUnit(workBuffer.data(), converted, [&](const uint8_t* unit, size_t size) {
    if (size == 0) return;
    switch (vidscribe::UnitType(unit)) {
      case vidscribe::kUnitSps:
        sps = unit, spsLength = size;
        break;
      case vidscribe::kUnitPps:
        pps = unit, ppsLength = size;
        break;
      case vidscribe::kUnitIdr:
        idr = true;
        break;
      default:
        break;
    }
  });
  // The profile, compatibility and level bytes follow the unit header, so an
  // SPS needs four bytes to create the track from.
  if (videoTrack == 0 && idr && sps != nullptr && spsLength >= 4) {
    createVideoTrack(sps, static_cast<uint32_t>(spsLength));
  }
  if (videoTrack != 0) {
    if (sps) file->AddH264SequenceParameterSet(videoTrack, sps, spsLength);
    if (pps) file->AddH264PictureParameterSet(videoTrack, pps, ppsLength);
    // Timestamps are expected never to decrease; a step back counts as no gap.
    uint32_t gap = timestamp >= lastVideoTime ? timestamp - lastVideoTime : 0;
    // A sample that cannot be written (disk full) is reported, not hidden;
    // the module has logged why.
    if (!writeHeldVideo(gap * (kVideoTimeScale / 1000))) result = -1;
    std::swap(workBuffer, heldVideo.data);
    heldVideo.length = static_cast<uint32_t>(converted);
    int64_t offset = int64_t{compositionTime} * (kVideoTimeScale / 1000);
    heldVideo.offset = static_cast<int32_t>(std::clamp<int64_t>(offset, INT32_MIN, INT32_MAX));
    heldVideo.sync = idr;
    heldVideo.held = true;
    if (videoFrames++ == 0) {
      firstVideoTime = timestamp;
      firstVideoOffset = heldVideo.offset;
      setEdits();
    }
    workBufferSize = static_cast<int32_t>(workBuffer.size());
  }
  lastVideoTime = timestamp;
  return result;
}

void Mp4Writer::createAudioTrack() {
  audioTrack = file->AddAudioTrack(static_cast<uint32_t>(sampleRate), kObjectTypeMpeg2AacLc);
  uint8_t config[2];
  vidscribe::BuildAudioSpecificConfig(config, sampleRate, channels, aacProfile);
  file->SetTrackESConfiguration(audioTrack, config, sizeof config);
  audioTimeScale = static_cast<uint32_t>(sampleRate);
  audioWritten = 0;
}

uint32_t Mp4Writer::audioDurationUntil(unsigned int timestamp) {
  uint32_t sinceFirst = timestamp - firstAudioTime;
  if (timestamp < firstAudioTime) sinceFirst = 0;
  uint64_t due = (uint64_t{sinceFirst} * audioTimeScale + 500) / 1000;
  uint64_t frameEnd = audioWritten + kAacFrameSamples;
  uint64_t distance = frameEnd > due ? frameEnd - due : due - frameEnd;
  if (distance <= kAacFrameSamples / 2) return kAacFrameSamples;
  if (due <= audioWritten) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>(due - audioWritten, UINT32_MAX));
}

int Mp4Writer::WriteAudio(uint8_t* data, int length, unsigned int timestamp) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  if (!file) return -1;
  if (data == nullptr || length < 0) return 0;
  if (length > vidscribe::kAdtsHeaderSize &&
      vidscribe::ReadAdtsHeader(data, &sampleRate, &channels, &aacProfile)) {
    data += vidscribe::kAdtsHeaderSize;
    length -= vidscribe::kAdtsHeaderSize;
  }
  if (audioTrack == 0) {
    createAudioTrack();
    firstAudioTime = timestamp;
  }
  int result = 0;
  if (audioTrack != 0) {
    if (!writeHeldAudio(audioDurationUntil(timestamp))) result = -1;
    heldAudio.data.resize(std::max<size_t>(heldAudio.data.size(), static_cast<size_t>(length)));
    if (length > 0) std::memcpy(heldAudio.data.data(), data, static_cast<size_t>(length));
    heldAudio.length = static_cast<uint32_t>(length);
    heldAudio.held = true;
    if (audioFrames++ == 0) setEdits();
  }
  lastAudioTime = timestamp;
  return result;
}

void Mp4Writer::setEdits() {
  const bool video = videoTrack != 0 && videoFrames > 0;
  const bool audio = audioTrack != 0 && audioFrames > 0;
  if (!video && !audio) return;
  // Caller times as signed differences from one of them, so a clock that
  // wraps between the two first frames still orders them.
  const uint32_t reference = video ? firstVideoTime : firstAudioTime;
  const int64_t mediaStart = std::max<int32_t>(firstVideoOffset, 0);
  const int64_t videoShown = static_cast<int32_t>(firstVideoTime - reference) +
                             (mediaStart + kVideoTimeScale / 2000) / (kVideoTimeScale / 1000);
  const int64_t audioShown = static_cast<int32_t>(firstAudioTime - reference);
  const int64_t origin = video && audio ? std::min(videoShown, audioShown) : video ? videoShown : audioShown;
  if (video)
    file->SetTrackEdit(videoTrack, static_cast<uint64_t>(videoShown - origin),
                       static_cast<uint64_t>(mediaStart));
  if (audio) file->SetTrackEdit(audioTrack, static_cast<uint64_t>(audioShown - origin), 0);
}

void Mp4Writer::Describe(vidscribe::MediaDescription& out) {
  std::lock_guard<std::recursive_mutex> hold(lock);
  out = vidscribe::MediaDescription();
  if (videoTrack != 0) {
    out.videoCodec = vidscribe::kCodecAvc;
    out.width = width;
    out.height = height;
    out.framerate = fps;
    out.videoFrames = videoFrames;
  }
  if (audioTrack != 0) {
    out.audioCodec = vidscribe::kSoundAac;
    out.sampleRate = sampleRate;
    out.channels = channels;
    out.aacProfile = aacProfile;
    out.audioFrames = audioFrames;
  }
}

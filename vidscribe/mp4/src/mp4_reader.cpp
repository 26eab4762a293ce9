// Mp4Reader: plays an MP4 into an IReader as its clock runs.
//
// Time model: the position is the last seek's base plus the clock time since
// the clock was last restarted. Sample i of a track is taken to lie at
// duration * i / count (a constant rate), so the index due at a position is
// a proportion. Delivery reads every sample from the next undelivered one up
// to the index due; a seek searches forward from 5 s before the position for
// a key frame and resumes there.
#include <algorithm>
#include <cmath>

#include "bitstream/aac_config.h"
#include "bitstream/annexb.h"
#include "bitstream/sps_parser.h"
#include "log/log_channel.h"
#include "mp4_log_bridge.h"
#include "mp4file/mp4_file_reader.h"
#include "reader_clock.h"
#include "vidscribe/vidscribe.h"

using vidscribe::LogPrint;

namespace {

constexpr uint8_t kStartCode[4] = {0, 0, 0, 1};

std::vector<uint8_t> withStartCode(const std::vector<uint8_t>& unit) {
  std::vector<uint8_t> out(unit.size() + 4);
  std::copy(kStartCode, kStartCode + 4, out.begin());
  std::copy(unit.begin(), unit.end(), out.begin() + 4);
  return out;
}

uint32_t toMilliseconds(uint64_t duration, uint32_t timeScale) {
  if (timeScale == 0) return 0;
  return static_cast<uint32_t>(std::min<uint64_t>(duration * 1000 / timeScale, UINT32_MAX));
}

// The index due at a position; an empty or zero-length track has nothing due.
uint32_t indexDue(int64_t position, uint32_t count, uint32_t duration) {
  if (duration == 0 || count == 0 || position <= 0) return position > 0 && duration == 0 ? count : 0;
  double due = std::trunc(static_cast<double>(position) * count / duration);
  return due >= count ? count : static_cast<uint32_t>(due);
}

uint32_t sampleTime(uint32_t duration, uint32_t index, uint32_t count) {
  return count == 0 ? 0 : static_cast<uint32_t>(uint64_t{duration} * index / count);
}

}  // namespace

void Mp4Reader::Ticker::Restart() {
  start = vidscribe::ReaderClockMs();
}

int64_t Mp4Reader::Ticker::Elapsed() const {
  return vidscribe::ReaderClockMs() - start;
}

Mp4Reader::Mp4Reader(IReader* host)
    : sink(host),
      videoTrack(0),
      videoDuration(0),
      videoSampleCount(0),
      width(0),
      height(0),
      fps(0),
      lastSampleSync(false),
      audioTrack(0),
      audioDuration(0),
      audioSampleCount(0),
      sampleRate(0),
      channels(0),
      aacProfile(2),
      totalDuration(0),
      nextVideoSample(0),
      nextAudioSample(0),
      seekBase(0) {
  vidscribe::RouteMp4FileLog();
  clock.Restart();
}

Mp4Reader::~Mp4Reader() {
  Close();
}

bool Mp4Reader::Close() {
  file.reset();
  audioTrack = 0;
  videoTrack = 0;
  return true;
}

void Mp4Reader::deliver(const uint8_t* data, int length, uint32_t timestamp) {
  if (sink) sink->OnData(data, length, timestamp);
}

bool Mp4Reader::openVideo() {
  uint32_t track = file->FindTrackId(mp4file::TrackKind::Video);
  if (track == 0 || file->MediaDataName(track) != "avc1") return false;
  videoTrack = track;
  uint32_t timeScale = file->TimeScale(track);
  videoSampleCount = file->SampleCount(track);
  width = file->VideoWidth(track);
  height = file->VideoHeight(track);
  fps = static_cast<int32_t>(file->VideoFrameRate(track));
  if (uint32_t largest = file->MaxSampleSize(track)) videoBuffer.assign(largest, 0);
  std::vector<std::vector<uint8_t>> sequenceSets, pictureSets;
  if (file->H264ParameterSets(track, sequenceSets, pictureSets)) {
    for (const auto& set : sequenceSets) {
      int w = 0, h = 0;
      if (vidscribe::ParseSpsSize(set.data(), set.size(), &w, &h)) width = w, height = h;
      sps = withStartCode(set);
    }
    for (const auto& set : pictureSets) pps = withStartCode(set);
  }
  videoDuration = toMilliseconds(file->Duration(track), timeScale);
  LogPrint("Mp4Reader", "video_ms %d, samples %d, %dx%d@%d", videoDuration, videoSampleCount, width, height,
           fps);
  // A track without a decoder configuration has nothing to hand over.
  if (sink && !sps.empty()) sink->OnVideoConfig(sps.data(), static_cast<int>(sps.size()), 0, 1);
  if (sink && !pps.empty()) sink->OnVideoConfig(pps.data(), static_cast<int>(pps.size()), 0, 1);
  return true;
}

bool Mp4Reader::openAudio() {
  uint32_t track = file->FindTrackId(mp4file::TrackKind::Audio);
  if (track == 0 || file->MediaDataName(track) != "mp4a") return false;
  audioTrack = track;
  uint32_t timeScale = file->TimeScale(track);
  sampleRate = static_cast<int32_t>(timeScale);
  audioSampleCount = file->SampleCount(track);
  channels = file->AudioChannels(track);
  if (uint32_t largest = file->MaxSampleSize(track)) audioBuffer.assign(largest + 7, 0);
  int profile = 2;
  if (file->ESConfiguration(track, audioConfig) && audioConfig.size() >= 2) {
    int rate = 0, ch = 0;
    vidscribe::ReadAudioSpecificConfig(audioConfig.data(), &rate, &ch, &profile);
    aacProfile = profile;
    // A reserved or explicit frequency index reads as 0; the time scale is
    // then the better rate (and never divides by zero below).
    if (rate > 0) sampleRate = rate;
    channels = ch;
  }
  audioDuration = toMilliseconds(file->Duration(track), static_cast<uint32_t>(sampleRate));
  LogPrint("Mp4Reader", "Got Audio %d ms,samples %d, %dx%d", audioDuration, audioSampleCount, sampleRate,
           channels);
  uint8_t header[vidscribe::kAdtsHeaderSize];
  vidscribe::WriteAdtsHeader(header, 7, sampleRate, channels, profile);
  deliver(header, sizeof header, 0);
  return true;
}

bool Mp4Reader::Open(const char* path) {
  if (path == nullptr) return false;
  Close();
  file = mp4file::Mp4FileReader::Open(path);
  if (!file) {
    LogPrint("Mp4Reader", "unable to open file %s", path);
    return false;
  }
  // Whatever a previous file left behind must not leak into this one.
  sps.clear();
  pps.clear();
  audioConfig.clear();
  videoDuration = audioDuration = videoSampleCount = audioSampleCount = 0;
  width = height = fps = sampleRate = channels = 0;
  aacProfile = 2;
  nextVideoSample = nextAudioSample = 0;
  lastSampleSync = false;
  seekBase = 0;
  bool video = openVideo();
  bool audio = openAudio();
  if (!video && !audio) {
    Close();
    LogPrint("Mp4Reader", "unsupported mp4 file %s", path);
    return false;
  }
  totalDuration = std::max(audioDuration, videoDuration);
  clock.Restart();
  return true;
}

uint32_t Mp4Reader::getStamp() {
  return static_cast<uint32_t>(seekBase + clock.Elapsed());
}

uint32_t Mp4Reader::getVideoSampleId(int32_t lookAhead) {
  return indexDue(seekBase + clock.Elapsed() + lookAhead, videoSampleCount, videoDuration);
}

uint32_t Mp4Reader::getAudioSampleId(int32_t lookAhead) {
  return indexDue(seekBase + clock.Elapsed() + lookAhead, audioSampleCount, audioDuration);
}

uint32_t Mp4Reader::getVideoCurrentTime() {
  return sampleTime(videoDuration, nextVideoSample, videoSampleCount);
}

bool Mp4Reader::readVideoSample(int32_t lookAhead) {
  if (videoTrack == 0) return false;
  uint32_t target = getVideoSampleId(lookAhead);
  for (; nextVideoSample < target; ++nextVideoSample) {
    uint32_t size = 0;
    bool sync = false;
    if (!file->ReadSample(videoTrack, nextVideoSample + 1, videoBuffer.data(),
                          static_cast<uint32_t>(videoBuffer.size()), size, sync)) {
      LogPrint("Mp4Reader", "read video sample error");
      continue;
    }
    lastSampleSync = sync;
    if (lookAhead != 0) {
      if (sync) break;  // searching: stop on the key frame, leaving it next
      continue;
    }
    if (size == 0) continue;
    vidscribe::LengthPrefixesToStartCodes(videoBuffer.data(), size);
    deliver(videoBuffer.data(), static_cast<int>(size),
            sampleTime(videoDuration, nextVideoSample, videoSampleCount));
  }
  return nextVideoSample < videoSampleCount;
}

bool Mp4Reader::readAudioSample(int32_t lookAhead) {
  if (audioTrack == 0) return false;
  uint32_t target = getAudioSampleId(lookAhead);
  for (; nextAudioSample < target; ++nextAudioSample) {
    if (lookAhead != 0) continue;  // searching: passed over unread
    uint32_t size = 0;
    bool sync = false;
    if (!file->ReadSample(audioTrack, nextAudioSample + 1, audioBuffer.data(),
                          static_cast<uint32_t>(audioBuffer.size()), size, sync)) {
      LogPrint("Mp4Reader", "read audio sample error");
      continue;
    }
    if (size > 0) {
      deliver(audioBuffer.data(), static_cast<int>(size),
              sampleTime(audioDuration, nextAudioSample, audioSampleCount));
    }
  }
  return nextAudioSample < audioSampleCount;
}

bool Mp4Reader::readSample(int32_t lookAhead) {
  readVideoSample(lookAhead);
  readAudioSample(lookAhead);
  return true;
}

bool Mp4Reader::Pump() {
  if (!file) return false;
  readSample(0);
  return (videoTrack != 0 && nextVideoSample < videoSampleCount) ||
         (audioTrack != 0 && nextAudioSample < audioSampleCount);
}

void Mp4Reader::setSeekTime(int32_t time) {
  int64_t clamped = std::clamp<int64_t>(time, 0, totalDuration);
  seekBase = static_cast<int32_t>(clamped);
  clock.Restart();
  if (audioTrack != 0) nextAudioSample = getAudioSampleId(0);
  if (videoTrack != 0) nextVideoSample = getVideoSampleId(0);
}

void Mp4Reader::Seek(int32_t position, int) {
  if (position == 0 || videoTrack == 0) {
    setSeekTime(position);
    return;
  }
  setSeekTime(position - 5000);
  lastSampleSync = false;
  readVideoSample(10000);
  if (lastSampleSync) {
    uint32_t keyFrame = nextVideoSample;
    setSeekTime(static_cast<int32_t>(getVideoCurrentTime()));
    nextVideoSample = keyFrame;
  } else {
    setSeekTime(position);
  }
}

void Mp4Reader::Describe(vidscribe::MediaDescription& out) {
  out = vidscribe::MediaDescription();
  out.duration = totalDuration;
  if (videoTrack != 0) {
    out.videoCodec = vidscribe::kCodecAvc;
    out.width = width;
    out.height = height;
    out.framerate = file->VideoFrameRate(videoTrack);
    out.videoDuration = videoDuration;
    out.videoFrames = videoSampleCount;
    for (uint32_t id = 1; id <= videoSampleCount; ++id) out.keyFrames += file->IsSyncSample(videoTrack, id);
  }
  if (audioTrack != 0) {
    out.audioCodec = vidscribe::kSoundAac;
    out.sampleRate = sampleRate;
    out.channels = channels;
    out.aacProfile = aacProfile;
    out.audioDuration = audioDuration;
    out.audioFrames = audioSampleCount;
  }
}

bool Mp4Reader::readAnySample(uint32_t track, uint32_t index, Sample& out) {
  if (!file || track == 0 || index >= file->SampleCount(track)) return false;
  const uint32_t largest = file->MaxSampleSize(track);
  out.data.resize(largest);
  uint32_t size = 0;
  bool sync = false;
  mp4file::SampleTiming timing;
  if (!file->ReadSample(track, index + 1, out.data.data(), largest, size, sync, &timing)) {
    LogPrint("Mp4Reader", "read sample %u of track %u failed", index + 1, track);
    return false;
  }
  out.data.resize(size);
  const uint32_t scale = file->TimeScale(track);
  const auto ms = [scale](int64_t ticks) {
    return scale == 0 ? 0 : static_cast<int64_t>(std::llround(static_cast<double>(ticks) * 1000 / scale));
  };
  out.time =
      static_cast<uint32_t>(std::min<int64_t>(ms(static_cast<int64_t>(timing.decodeTime)), UINT32_MAX));
  out.compositionTime = static_cast<int32_t>(ms(timing.renderingOffset));
  out.duration = static_cast<uint32_t>(ms(timing.duration));
  out.keyframe = sync;
  return true;
}

bool Mp4Reader::ReadVideoSample(uint32_t index, SampleForm form, Sample& out) {
  if (!readAnySample(videoTrack, index, out)) return false;
  if (form == SampleForDecoder) vidscribe::LengthPrefixesToStartCodes(out.data.data(), out.data.size());
  return true;
}

bool Mp4Reader::ReadAudioSample(uint32_t index, SampleForm form, Sample& out) {
  if (!readAnySample(audioTrack, index, out)) return false;
  if (form != SampleForDecoder) return true;
  // The ADTS frame length field has 13 bits.
  if (out.data.size() + vidscribe::kAdtsHeaderSize > 0x1FFF) {
    LogPrint("Mp4Reader", "audio sample %u is too long for an ADTS frame", index + 1);
    return false;
  }
  uint8_t header[vidscribe::kAdtsHeaderSize];
  vidscribe::WriteAdtsHeader(header, static_cast<int>(out.data.size()), sampleRate, channels, aacProfile);
  out.data.insert(out.data.begin(), header, header + sizeof header);
  return true;
}

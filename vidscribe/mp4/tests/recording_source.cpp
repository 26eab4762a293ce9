#include "recording_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "bitstream/aac_config.h"
#include "media_fixtures.h"
#include "mp4file/mp4_file_reader.h"

using namespace mp4file;

namespace mp4test {
namespace {

void appendUnit(std::vector<uint8_t>& out, const uint8_t* unit, size_t size) {
  const uint8_t startCode[4] = {0, 0, 0, 1};
  out.insert(out.end(), startCode, startCode + 4);
  out.insert(out.end(), unit, unit + size);
}

Frame videoFrame(const Recording& r, const std::vector<uint8_t>& sample, bool key) {
  Frame f;
  f.video = true;
  f.key = key;
  f.sample = sample;
  if (key) {
    appendUnit(f.bytes, r.sps.data(), r.sps.size());
    appendUnit(f.bytes, r.pps.data(), r.pps.size());
  }
  for (size_t at = 0; at + 4 <= sample.size();) {
    size_t unit = (size_t{sample[at]} << 24) | (size_t{sample[at + 1]} << 16) |
                  (size_t{sample[at + 2]} << 8) | sample[at + 3];
    appendUnit(f.bytes, sample.data() + at + 4, unit);
    at += 4 + unit;
  }
  return f;
}

Frame audioFrame(const Recording& r, const std::vector<uint8_t>& sample) {
  Frame f;
  f.sample = sample;
  f.bytes.resize(vidscribe::kAdtsHeaderSize);
  vidscribe::WriteAdtsHeader(f.bytes.data(), int(sample.size()), r.sampleRate, r.channels, 2);
  f.bytes.insert(f.bytes.end(), sample.begin(), sample.end());
  return f;
}

}  // namespace

Recording RecordingFromMp4(const std::string& path) {
  Recording r;
  auto reader = Mp4FileReader::Open(path);
  if (!reader) return r;
  TrackId video = reader->FindTrackId(TrackKind::Video);
  TrackId audio = reader->FindTrackId(TrackKind::Audio);
  if (video) {
    std::vector<std::vector<uint8_t>> sps, pps;
    reader->H264ParameterSets(video, sps, pps);
    r.sps = sps.at(0);
    r.pps = pps.at(0);
  }
  if (audio) {
    r.sampleRate = int(reader->TimeScale(audio));
    r.channels = reader->AudioChannels(audio);
  }
  uint32_t nextVideo = 1, nextAudio = 1;
  std::vector<uint8_t> buffer(1 << 20);
  for (;;) {
    SampleTiming v, a;
    bool hasVideo = video && reader->Timing(video, nextVideo, v);
    bool hasAudio = audio && reader->Timing(audio, nextAudio, a);
    if (!hasVideo && !hasAudio) break;
    double videoTime = hasVideo ? double(v.decodeTime) / reader->TimeScale(video) : 1e18;
    double audioTime = hasAudio ? double(a.decodeTime) / reader->TimeScale(audio) : 1e18;
    bool takeVideo = videoTime <= audioTime;
    TrackId track = takeVideo ? video : audio;
    uint32_t id = takeVideo ? nextVideo++ : nextAudio++;
    uint32_t size = 0;
    bool sync = false;
    SampleTiming t;
    reader->ReadSample(track, id, buffer.data(), uint32_t(buffer.size()), size, sync, &t);
    std::vector<uint8_t> sample(buffer.begin(), buffer.begin() + size);
    Frame f = takeVideo ? videoFrame(r, sample, sync) : audioFrame(r, sample);
    uint32_t scale = reader->TimeScale(track);
    f.timestamp = uint32_t(t.decodeTime * 1000 / scale);
    f.compositionTime = int32_t(int64_t(t.renderingOffset) * 1000 / scale);
    r.frames.push_back(std::move(f));
  }
  return r;
}

StderrCapture::StderrCapture() {
  char name[] = "/tmp/mp4-stderr-XXXXXX";
  int fd = mkstemp(name);
  if (fd < 0) return;
  path_ = name;
  fflush(stderr);
  saved_ = dup(STDERR_FILENO);
  dup2(fd, STDERR_FILENO);
  close(fd);
}

StderrCapture::~StderrCapture() {
  if (saved_ < 0) return;
  fflush(stderr);
  dup2(saved_, STDERR_FILENO);
  close(saved_);
  unlink(path_.c_str());
}

std::string StderrCapture::Text() const {
  fflush(stderr);
  auto bytes = ReadFileBytes(path_);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace mp4test

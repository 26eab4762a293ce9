// The MP4 side of info and extract, through Mp4Reader as any host would use
// it: the facts it gathers at Open, and its clock-free sample reads (its
// Pump hands samples over only as its own clock reaches them, so extracting
// a ten-minute file through it would take ten minutes).
#include "mp4_commands.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>

#include "elementary_streams.h"

namespace vidscribe_tool {

namespace {

// Keeps the parameter sets Open hands over (each behind a start code).
class ConfigSink : public IReader {
 public:
  void OnData(const uint8_t*, int, uint32_t) override {}
  void OnVideoConfig(const uint8_t* data, int length, uint32_t, int) override {
    if (data != nullptr && length > 0) sets.insert(sets.end(), data, data + length);
  }
  std::vector<uint8_t> sets;
};

bool holdsSps(const std::vector<uint8_t>& annexB) {
  vidscribe::AnnexBUnits units(annexB.data(), annexB.size());
  const uint8_t* unit = nullptr;
  size_t length = 0;
  while (units.Next(&unit, &length)) {
    if (length > 0 && vidscribe::UnitType(unit) == vidscribe::kUnitSps) return true;
  }
  return false;
}

// Every video sample as Annex B, with the stored parameter sets ahead of the
// first frame when the frame does not carry its own.
bool extractVideo(Mp4Reader& reader, const ConfigSink& sink, uint32_t count, PendingOutput& out) {
  Mp4Reader::Sample sample;
  for (uint32_t index = 0; index < count; ++index) {
    if (!reader.ReadVideoSample(index, Mp4Reader::SampleForDecoder, sample)) return false;
    if (index == 0 && !holdsSps(sample.data)) out.Write(sink.sets.data(), sink.sets.size());
    out.Write(sample.data.data(), sample.data.size());
  }
  return true;
}

bool extractAudio(Mp4Reader& reader, uint32_t count, PendingOutput& out) {
  Mp4Reader::Sample sample;
  for (uint32_t index = 0; index < count; ++index) {
    if (!reader.ReadAudioSample(index, Mp4Reader::SampleForDecoder, sample)) return false;
    out.Write(sample.data.data(), sample.data.size());
  }
  return true;
}

}  // namespace

bool IsMp4File(const char* path) {
  FilePtr file(std::fopen(path, "rb"));
  uint8_t head[8] = {};
  if (file == nullptr || std::fread(head, 1, sizeof head, file.get()) != sizeof head) return false;
  return std::memcmp(head + 4, "ftyp", 4) == 0 || std::memcmp(head + 4, "moov", 4) == 0;
}

bool EndsWithMp4(const std::string& path) {
  return path.size() >= 4 && strcasecmp(path.c_str() + path.size() - 4, ".mp4") == 0;
}

int InfoMp4(const char* path) {
  ConfigSink sink;
  Mp4Reader reader(&sink);
  if (!reader.Open(path)) return Fail("info: %s is not a readable MP4 file", path);
  vidscribe::MediaDescription d;
  reader.Describe(d);
  struct stat status;
  const long long bytes = ::stat(path, &status) == 0 ? static_cast<long long>(status.st_size) : 0;
  std::printf("file: %s\nformat: MP4\nsize: %lld bytes\nduration: %u ms\n", path, bytes, d.duration);
  if (d.videoCodec != -1) {
    std::printf("picture: %dx%d\n", d.width, d.height);
    std::printf("video: avc1, %u samples, %u ms, %dx%d, %.3g fps, %u key frames\n", d.videoFrames,
                d.videoDuration, d.width, d.height, d.framerate, d.keyFrames);
  }
  if (d.audioCodec != -1)
    std::printf("audio: mp4a, %u samples, %u ms, AAC profile %d, %d Hz, %d channels\n", d.audioFrames,
                d.audioDuration, d.aacProfile, d.sampleRate, d.channels);
  return 0;
}

int ExtractMp4(const char* path, const std::string& h264, const std::string& aac) {
  ConfigSink sink;
  Mp4Reader reader(&sink);
  if (!reader.Open(path)) return Fail("extract: %s is not a readable MP4 file", path);
  vidscribe::MediaDescription d;
  reader.Describe(d);
  if (d.videoCodec == -1) return Fail("extract: %s holds no H.264 track", path);
  if (!aac.empty() && d.audioCodec == -1) return Fail("extract: %s holds no AAC track", path);
  PendingOutput video(h264);
  if (!video.ok()) return Fail("extract: cannot create %s", PartialName(h264).c_str());
  std::unique_ptr<PendingOutput> audio;
  if (!aac.empty()) {
    audio = std::make_unique<PendingOutput>(aac);
    if (!audio->ok()) return Fail("extract: cannot create %s", PartialName(aac).c_str());
  }
  if (!extractVideo(reader, sink, d.videoFrames, video))
    return Fail("extract: %s has a damaged video sample", path);
  if (audio && !extractAudio(reader, d.audioFrames, *audio))
    return Fail("extract: %s has a damaged AAC sample or configuration", path);
  if (d.videoFrames == 0) return Fail("extract: %s holds no H.264 frames", path);
  if (audio && d.audioFrames == 0) return Fail("extract: %s holds no AAC frames", path);
  if (!video.Keep() || (audio && !audio->Keep())) return Fail("extract: writing the output failed");
  return 0;
}

}  // namespace vidscribe_tool

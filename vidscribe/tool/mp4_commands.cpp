// The MP4 side of info and extract. Facts come from Mp4Reader, as a player
// would see them. Samples are read straight from the file module: the
// reader's Pump hands samples over only as its own clock reaches them, so
// extracting a ten-minute file through it would take ten minutes.
#include "mp4_commands.h"

#include <strings.h>
#include <sys/stat.h>

#include <cstring>
#include <memory>

#include "bitstream/aac_config.h"
#include "elementary_streams.h"
#include "mp4file/mp4_file_reader.h"

namespace vidscribe_tool {

namespace {

// Info only wants the facts Open gathers, not the configuration it hands on.
class IgnoringSink : public IReader {
 public:
  void OnData(const uint8_t*, int, uint32_t) override {}
  void OnVideoConfig(const uint8_t*, int, uint32_t, int) override {}
};

const uint8_t kStartCode[4] = {0, 0, 0, 1};

// Rewrites one length-prefixed sample as Annex B; false when a length runs
// past the sample, which a sound file never has.
bool writeAnnexB(const uint8_t* sample, uint32_t size, PendingOutput& out) {
  uint32_t at = 0;
  while (at < size) {
    if (size - at < 4) return false;
    const uint32_t length = (uint32_t{sample[at]} << 24) | (uint32_t{sample[at + 1]} << 16) |
                            (uint32_t{sample[at + 2]} << 8) | sample[at + 3];
    at += 4;
    if (length > size - at) return false;
    if (length > 0) {
      out.Write(kStartCode, sizeof kStartCode);
      out.Write(sample + at, length);
    }
    at += length;
  }
  return true;
}

bool sampleHasSps(const uint8_t* sample, uint32_t size) {
  for (uint32_t at = 0; size - at >= 5;) {
    const uint32_t length = (uint32_t{sample[at]} << 24) | (uint32_t{sample[at + 1]} << 16) |
                            (uint32_t{sample[at + 2]} << 8) | sample[at + 3];
    if (length > size - at - 4) return false;
    if (length > 0 && UnitType(sample + at + 4) == 7) return true;
    at += 4 + length;
  }
  return false;
}

// Every sample of the video track as Annex B, with the stored parameter
// sets ahead of the first frame when the frame does not carry its own.
bool extractVideo(mp4file::Mp4FileReader& file, mp4file::TrackId track, PendingOutput& out, int64_t* frames) {
  std::vector<uint8_t> buffer(file.MaxSampleSize(track));
  const uint32_t count = file.SampleCount(track);
  for (uint32_t id = 1; id <= count; ++id) {
    uint32_t size = 0;
    bool sync = false;
    if (!file.ReadSample(track, id, buffer.data(), static_cast<uint32_t>(buffer.size()), size, sync))
      return false;
    if (id == 1 && !sampleHasSps(buffer.data(), size)) {
      std::vector<std::vector<uint8_t>> sequenceSets, pictureSets;
      file.H264ParameterSets(track, sequenceSets, pictureSets);
      for (const auto* sets : {&sequenceSets, &pictureSets}) {
        for (const auto& set : *sets) {
          out.Write(kStartCode, sizeof kStartCode);
          out.Write(set.data(), set.size());
        }
      }
    }
    if (!writeAnnexB(buffer.data(), size, out)) return false;
    ++*frames;
  }
  return true;
}

bool extractAudio(mp4file::Mp4FileReader& file, mp4file::TrackId track, PendingOutput& out, int64_t* frames) {
  std::vector<uint8_t> config;
  int sampleRate = 0, channels = 0, profile = 0;
  if (!file.ESConfiguration(track, config) || config.size() < 2 ||
      vidscribe::ReadAudioSpecificConfig(config.data(), &sampleRate, &channels, &profile) <= 0 ||
      sampleRate == 0)
    return false;
  std::vector<uint8_t> buffer(file.MaxSampleSize(track));
  const uint32_t count = file.SampleCount(track);
  for (uint32_t id = 1; id <= count; ++id) {
    uint32_t size = 0;
    bool sync = false;
    if (!file.ReadSample(track, id, buffer.data(), static_cast<uint32_t>(buffer.size()), size, sync))
      return false;
    // The ADTS frame length field has 13 bits.
    if (size + vidscribe::kAdtsHeaderSize > 0x1FFF) return false;
    uint8_t header[vidscribe::kAdtsHeaderSize];
    vidscribe::WriteAdtsHeader(header, static_cast<int>(size), sampleRate, channels, profile);
    out.Write(header, sizeof header);
    out.Write(buffer.data(), size);
    ++*frames;
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
  IgnoringSink sink;
  Mp4Reader reader(&sink);
  if (!reader.Open(path)) return Fail("info: %s is not a readable MP4 file", path);
  const auto file = mp4file::Mp4FileReader::Open(path);
  if (!file) return Fail("info: %s is not a readable MP4 file", path);
  struct stat status;
  const long long bytes = ::stat(path, &status) == 0 ? static_cast<long long>(status.st_size) : 0;
  std::printf("file: %s\nformat: MP4\nsize: %lld bytes\nduration: %u ms\n", path, bytes, reader.Duration());
  if (reader.HasVideo()) std::printf("picture: %dx%d\n", reader.Width(), reader.Height());
  for (uint32_t i = 0; i < file->TrackCount(); ++i) {
    const mp4file::TrackId track = file->TrackIdAt(i);
    const std::string name = file->MediaDataName(track);
    const uint32_t scale = file->TimeScale(track);
    const unsigned long long ms = scale > 0 ? file->Duration(track) * 1000 / scale : 0;
    std::printf("track %u: %s, %u samples, %llu ms", track, name.empty() ? "unknown" : name.c_str(),
                file->SampleCount(track), ms);
    if (name == "avc1") {
      uint32_t keys = 0;
      for (uint32_t id = 1; id <= file->SampleCount(track); ++id) keys += file->IsSyncSample(track, id);
      std::printf(", %ux%u, %.3g fps, %u key frames", file->VideoWidth(track), file->VideoHeight(track),
                  file->VideoFrameRate(track), keys);
    } else if (name == "mp4a") {
      std::vector<uint8_t> config;
      int rate = 0, channels = 0, profile = 0;
      if (file->ESConfiguration(track, config) && config.size() >= 2 &&
          vidscribe::ReadAudioSpecificConfig(config.data(), &rate, &channels, &profile) > 0)
        std::printf(", AAC profile %d, %d Hz, %d channels", profile, rate, channels);
    }
    std::printf("\n");
  }
  return 0;
}

int ExtractMp4(const char* path, const std::string& h264, const std::string& aac) {
  const auto file = mp4file::Mp4FileReader::Open(path);
  if (!file) return Fail("extract: %s is not a readable MP4 file", path);
  const mp4file::TrackId videoTrack = file->FindTrackId(mp4file::TrackKind::Video);
  const mp4file::TrackId audioTrack = file->FindTrackId(mp4file::TrackKind::Audio);
  if (videoTrack == mp4file::kInvalidTrackId || file->MediaDataName(videoTrack) != "avc1")
    return Fail("extract: %s holds no H.264 track", path);
  if (!aac.empty() && (audioTrack == mp4file::kInvalidTrackId || file->MediaDataName(audioTrack) != "mp4a"))
    return Fail("extract: %s holds no AAC track", path);
  PendingOutput video(h264);
  if (!video.ok()) return Fail("extract: cannot create %s", video.path.c_str());
  std::unique_ptr<PendingOutput> audio;
  if (!aac.empty()) {
    audio = std::make_unique<PendingOutput>(aac);
    if (!audio->ok()) return Fail("extract: cannot create %s", audio->path.c_str());
  }
  int64_t frames = 0, audioFrames = 0;
  if (!extractVideo(*file, videoTrack, video, &frames))
    return Fail("extract: %s has a damaged video sample", path);
  if (audio && !extractAudio(*file, audioTrack, *audio, &audioFrames))
    return Fail("extract: %s has a damaged AAC sample or configuration", path);
  if (frames == 0) return Fail("extract: %s holds no H.264 frames", path);
  if (audio && audioFrames == 0) return Fail("extract: %s holds no AAC frames", path);
  if (!video.Keep() || (audio && !audio->Keep())) return Fail("extract: writing the output failed");
  return 0;
}

bool Mp4HoldsVideo(const char* path) {
  const auto file = mp4file::Mp4FileReader::Open(path);
  if (!file) return false;
  const mp4file::TrackId track = file->FindTrackId(mp4file::TrackKind::Video);
  return track != mp4file::kInvalidTrackId && file->SampleCount(track) > 0;
}

}  // namespace vidscribe_tool

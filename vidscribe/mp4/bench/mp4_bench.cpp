// Benchmarks of the MP4 path (not part of CTest; mp4_bench.sh drives
// them side by side with ffmpeg):
//   mp4_bench frames IN.mp4 OUT.frames  IN's samples as a live source sends
//                                     them (Annex B, ADTS), in one file
//   mp4_bench record IN.frames OUT.mp4 [plain|cut]
//                                     feed those frames to Mp4Writer (plain:
//                                     without its journal, as the writer was
//                                     before it; cut: end the process without
//                                     Close, as a crash does)
//   mp4_bench open FILE [REPEAT]      time opening FILE
//   mp4_bench tables HOURS OUT.mp4    table memory of a synthetic recording
//   mp4_bench large GIB OUT.mp4       a recording past 4 GiB, read back whole
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bitstream/aac_config.h"
#include "mp4file/mp4_file_reader.h"
#include "mp4file/mp4_file_writer.h"
#include "recorder_file_options.h"
#include "vidscribe/vidscribe.h"

using namespace mp4file;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

long peakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// Rebuilds the frame an encoder would have produced from a stored sample.
size_t annexB(const std::vector<uint8_t>& sample, uint32_t size, bool key,
              const std::vector<uint8_t>& parameterSets, std::vector<uint8_t>& out) {
  size_t used = 0;
  out.resize(std::max(out.size(), size + parameterSets.size() + 64));
  if (key) {
    std::memcpy(out.data(), parameterSets.data(), parameterSets.size());
    used = parameterSets.size();
  }
  for (uint32_t at = 0; at + 4 <= size;) {
    uint32_t unit = (uint32_t{sample[at]} << 24) | (uint32_t{sample[at + 1]} << 16) |
                    (uint32_t{sample[at + 2]} << 8) | sample[at + 3];
    if (unit > size - at - 4) break;
    const uint8_t code[4] = {0, 0, 0, 1};
    std::memcpy(out.data() + used, code, 4);
    std::memcpy(out.data() + used + 4, sample.data() + at + 4, unit);
    used += 4 + unit;
    at += 4 + unit;
  }
  return used;
}

// One frame as a live source hands it to the recorder, as stored in a frames
// file (host byte order; only this program reads it).
struct FrameHeader {
  uint8_t video;
  uint8_t key;
  uint16_t unused;
  uint32_t size;
  uint32_t ms;
  int32_t compositionMs;
};

class FramesFile {
 public:
  explicit FramesFile(FILE* file) : file_(file) {}
  ~FramesFile() {
    if (file_) std::fclose(file_);
  }
  FramesFile(const FramesFile&) = delete;
  FramesFile& operator=(const FramesFile&) = delete;
  FILE* get() const { return file_; }

 private:
  FILE* file_;
};

// Turns IN's samples into the frames a live recorder receives (Annex B with
// the parameter sets on key frames, ADTS-headed AAC), interleaved by time,
// so that `record` measures the writer and not the reading of IN: the reader
// keeps a table entry per input sample, which would grow with the input.
int frames(const char* in, const char* outPath) {
  auto reader = Mp4FileReader::Open(in);
  if (!reader) return 1;
  FramesFile out(std::fopen(outPath, "wb"));
  if (!out.get()) return 1;
  TrackId video = reader->FindTrackId(TrackKind::Video), audio = reader->FindTrackId(TrackKind::Audio);
  std::vector<uint8_t> parameterSets;
  std::vector<std::vector<uint8_t>> sps, pps;
  if (video && reader->H264ParameterSets(video, sps, pps)) {
    for (const auto* sets : {&sps, &pps}) {
      for (const auto& s : *sets) {
        parameterSets.insert(parameterSets.end(), {0, 0, 0, 1});
        parameterSets.insert(parameterSets.end(), s.begin(), s.end());
      }
    }
  }
  int rate = audio ? int(reader->TimeScale(audio)) : 0, channels = audio ? reader->AudioChannels(audio) : 0;
  std::vector<uint8_t> sample(std::max(reader->MaxSampleSize(video), reader->MaxSampleSize(audio)) + 16),
      frame;
  uint32_t nextVideo = 1, nextAudio = 1;
  for (;;) {
    SampleTiming v, a;
    bool hasVideo = video && reader->Timing(video, nextVideo, v);
    bool hasAudio = audio && reader->Timing(audio, nextAudio, a);
    if (!hasVideo && !hasAudio) break;
    bool takeVideo = hasVideo && (!hasAudio || double(v.decodeTime) / reader->TimeScale(video) <=
                                                   double(a.decodeTime) / reader->TimeScale(audio));
    TrackId track = takeVideo ? video : audio;
    uint32_t id = takeVideo ? nextVideo++ : nextAudio++;
    uint32_t size = 0;
    bool sync = false;
    SampleTiming t;
    if (!reader->ReadSample(track, id, sample.data() + 7, uint32_t(sample.size() - 7), size, sync, &t))
      return 1;
    uint32_t scale = reader->TimeScale(track);
    FrameHeader h{uint8_t(takeVideo), uint8_t(sync), 0, 0, uint32_t(t.decodeTime * 1000 / scale), 0};
    const uint8_t* data = sample.data();
    if (takeVideo) {
      std::vector<uint8_t> stored(sample.begin() + 7, sample.begin() + 7 + size);
      h.size = uint32_t(annexB(stored, size, sync, parameterSets, frame));
      h.compositionMs = int32_t(int64_t(t.renderingOffset) * 1000 / scale);
      data = frame.data();
    } else {
      vidscribe::WriteAdtsHeader(sample.data(), int(size), rate, channels, 2);
      h.size = size + 7;
    }
    if (std::fwrite(&h, sizeof h, 1, out.get()) != 1 || std::fwrite(data, 1, h.size, out.get()) != h.size)
      return 1;
  }
  return std::fflush(out.get()) == 0 ? 0 : 1;
}

enum class Ending { Close, Cut };

// Feeds a frames file to Mp4Writer the way a live recorder does: one frame
// at a time from a reused buffer.
int record(const char* in, const char* outPath, Ending ending) {
  FramesFile source(std::fopen(in, "rb"));
  if (!source.get()) return 1;
  std::vector<uint8_t> frame;
  double reading = 0;
  uint64_t samples = 0;
  Clock::time_point start = Clock::now();
  {
    Mp4Writer writer;
    if (!writer.Open(outPath)) return 1;
    FrameHeader h;
    for (;;) {
      Clock::time_point read = Clock::now();
      if (std::fread(&h, sizeof h, 1, source.get()) != 1) break;
      if (frame.size() < h.size) frame.resize(h.size);
      if (std::fread(frame.data(), 1, h.size, source.get()) != h.size) return 1;
      reading += secondsSince(read);
      if (h.video)
        writer.WriteVideo(frame.data(), int(h.size), h.ms, h.key != 0, h.compositionMs);
      else
        writer.WriteAudio(frame.data(), int(h.size), h.ms);
      ++samples;
    }
    if (ending == Ending::Cut) {
      std::printf("record: %llu samples, cut off without Close after %.3f s\n", (unsigned long long)samples,
                  secondsSince(start));
      std::fflush(stdout);
      std::_Exit(0);  // no destructor, no Close: what a crash leaves
    }
    if (!writer.Close()) return 1;
  }
  double total = secondsSince(start);
  std::printf(
      "record: %llu samples, total %.3f s, of which reading frames %.3f s, writer %.3f s, peak RSS %ld KiB\n",
      (unsigned long long)samples, total, reading, total - reading, peakRssKb());
  return 0;
}

int open(const char* path, int repeat) {
  std::vector<double> module, player;
  uint32_t samples = 0;
  size_t tables = 0;
  for (int i = 0; i < repeat; ++i) {
    Clock::time_point start = Clock::now();
    auto reader = Mp4FileReader::Open(path);
    module.push_back(secondsSince(start) * 1000);
    if (!reader) return 1;
    samples = 0;
    for (uint32_t t = 0; t < reader->TrackCount(); ++t) samples += reader->SampleCount(reader->TrackIdAt(t));
    tables = reader->TableMemoryBytes();
    struct NullSink : IReader {
      void OnData(const uint8_t*, int, uint32_t) override {}
      void OnVideoConfig(const uint8_t*, int, uint32_t, int) override {}
    } sink;
    Mp4Reader playerReader(&sink);
    start = Clock::now();
    if (!playerReader.Open(path)) return 1;
    player.push_back(secondsSince(start) * 1000);
  }
  std::sort(module.begin(), module.end());
  std::sort(player.begin(), player.end());
  std::printf(
      "open: %u samples, module open median %.2f ms (min %.2f), Mp4Reader::Open median %.2f ms "
      "(min %.2f), reader tables %.1f bytes/sample\n",
      samples, module[module.size() / 2], module[0], player[player.size() / 2], player[0],
      samples ? double(tables) / samples : 0.0);
  return 0;
}

// A synthetic recording with live-source timestamps (25 fps video with a key
// frame every 2 s and B-frame offsets, 44.1 kHz AAC) written straight
// through the module, to report what the tables cost per sample.
int tables(double hours, const char* outPath) {
  auto writer = Mp4FileWriter::Create(outPath);
  if (!writer) return 1;
  TrackId video = writer->AddH264VideoTrack(90000, 1280, 720, 100, 0, 31, 3);
  TrackId audio = writer->AddAudioTrack(44100, 0x67);
  uint8_t payload[64] = {0};
  uint64_t videoFrames = uint64_t(hours * 3600 * 25), audioFrames = uint64_t(hours * 3600 * 44100 / 1024);
  uint64_t v = 0, a = 0;
  const int32_t offsets[3] = {7200, 0, 3600};
  while (v < videoFrames || a < audioFrames) {
    if (v < videoFrames && (a >= audioFrames || v * 40 <= a * 1024 * 1000 / 44100)) {
      // Millisecond clocks give 40 ms frames exactly; the offsets vary.
      writer->WriteSample(video, payload, sizeof payload, 3600, offsets[v % 3], v % 50 == 0);
      ++v;
    } else {
      writer->WriteSample(audio, payload, 16, 1024, 0, true);
      ++a;
    }
  }
  size_t bytes = writer->TableMemoryBytes();
  if (!writer->Close()) return 1;
  std::printf("tables: %llu samples, %zu bytes of tables, %.1f bytes/sample\n",
              static_cast<unsigned long long>(videoFrames) + audioFrames, bytes,
              double(bytes) / double(videoFrames + audioFrames));
  return 0;
}

// Writes GIB gibibytes of 1 MiB samples, each stamped with its number, then
// reopens the file and checks every sample's stamp: the 64-bit media data
// header and chunk offsets must place them all.
int large(double gib, const char* outPath) {
  const uint32_t sampleSize = 1 << 20;
  const uint32_t count = uint32_t(gib * 1024);
  std::vector<uint8_t> sample(sampleSize, 0x5A);
  Clock::time_point start = Clock::now();
  {
    auto writer = Mp4FileWriter::Create(outPath);
    if (!writer) return 1;
    TrackId audio = writer->AddAudioTrack(48000, 0x40);
    for (uint32_t i = 0; i < count; ++i) {
      std::memcpy(sample.data(), &i, sizeof i);
      if (!writer->WriteSample(audio, sample.data(), sampleSize, 1024, 0, true)) return 1;
    }
    if (!writer->Close()) return 1;
  }
  double writing = secondsSince(start);
  auto reader = Mp4FileReader::Open(outPath);
  if (!reader) return 1;
  TrackId audio = reader->FindTrackId(TrackKind::Audio);
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t size = 0, stamp = 0;
    bool sync = false;
    if (!reader->ReadSample(audio, i + 1, sample.data(), sampleSize, size, sync) || size != sampleSize)
      return 1;
    std::memcpy(&stamp, sample.data(), sizeof stamp);
    if (stamp != i) {
      std::printf("large: sample %u holds %u\n", i + 1, stamp);
      return 1;
    }
  }
  std::printf("large: %u samples of 1 MiB written in %.1f s and read back in place\n", count, writing);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 4 && std::strcmp(argv[1], "frames") == 0) return frames(argv[2], argv[3]);
  if (argc >= 4 && std::strcmp(argv[1], "record") == 0) {
    const char* how = argc >= 5 ? argv[4] : "";
    if (std::strcmp(how, "plain") == 0) vidscribe::RecorderFileOptions().journal = false;
    return record(argv[2], argv[3], std::strcmp(how, "cut") == 0 ? Ending::Cut : Ending::Close);
  }
  if (argc >= 3 && std::strcmp(argv[1], "open") == 0)
    return open(argv[2], argc >= 4 ? std::atoi(argv[3]) : 10);
  if (argc >= 4 && std::strcmp(argv[1], "tables") == 0) return tables(std::atof(argv[2]), argv[3]);
  if (argc >= 4 && std::strcmp(argv[1], "large") == 0) return large(std::atof(argv[2]), argv[3]);
  std::fprintf(stderr,
               "usage: mp4_bench frames IN OUT | record FRAMES OUT [plain|cut] | open FILE [REPEAT] | "
               "tables HOURS OUT | "
               "large GIB OUT\n");
  return 2;
}

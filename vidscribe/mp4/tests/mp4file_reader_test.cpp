// The reader against files nobody here wrote: MP4s made by ffmpeg, checked
// sample by sample against what ffprobe reports, and damaged copies of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "media_fixtures.h"
#include "mp4file/byte_order.h"
#include "mp4file/mp4_file_reader.h"
#include "mp4file/mp4_log.h"

using namespace mp4file;
using namespace mp4test;

namespace {

class Mp4FileReaderFfmpeg : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!HaveFfmpeg()) return;
    dir_ = new TempDir();
    SourceOptions avNoB;
    avNoB.bFrames = false;
    SourceOptions videoOnly;
    videoOnly.audio = false;
    SourceOptions audioOnly;
    audioOnly.video = false;
    SourceOptions hevc;
    hevc.videoCodec = "libx265";
    hevc.audio = false;
    hevc.seconds = 1;
    files_["av.mp4"] = CachedMp4(SourceOptions());
    files_["av_nob.mp4"] = CachedMp4(avNoB);
    files_["video.mp4"] = CachedMp4(videoOnly);
    files_["audio.mp4"] = CachedMp4(audioOnly);
    files_["hevc.mp4"] = CachedMp4(hevc);
    made_ = std::all_of(files_.begin(), files_.end(), [](const auto& f) { return !f.second.empty(); });
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    if (!made_) GTEST_SKIP() << "ffmpeg with libx264, libx265 and aac is needed to make the test files";
  }
  static std::string file(const char* name) { return files_.count(name) ? files_[name] : dir_->File(name); }

  static TempDir* dir_;
  static bool made_;
  static std::map<std::string, std::string> files_;
};

std::map<std::string, std::string> Mp4FileReaderFfmpeg::files_;
TempDir* Mp4FileReaderFfmpeg::dir_ = nullptr;
bool Mp4FileReaderFfmpeg::made_ = false;

// Every sample's size, key flag, bytes and timing must match ffprobe's
// packet list.
void expectSamplesMatch(Mp4FileReader& reader, TrackId track, const std::vector<Packet>& packets) {
  ASSERT_EQ(reader.SampleCount(track), packets.size());
  std::vector<uint8_t> buffer(reader.MaxSampleSize(track));
  uint32_t largest = 0;
  for (uint32_t i = 0; i < packets.size(); ++i) {
    uint32_t size = 0;
    bool sync = false;
    SampleTiming timing;
    ASSERT_TRUE(reader.ReadSample(track, i + 1, buffer.data(), static_cast<uint32_t>(buffer.size()), size,
                                  sync, &timing));
    const Packet& p = packets[i];
    ASSERT_EQ(size, p.size) << "sample " << i + 1;
    EXPECT_EQ(sync, p.key) << "sample " << i + 1;
    EXPECT_EQ(Adler32(buffer.data(), size), p.adler) << "sample " << i + 1;
    EXPECT_EQ(int64_t(timing.decodeTime), p.dts) << "sample " << i + 1;
    EXPECT_EQ(timing.renderingOffset, p.pts - p.dts) << "sample " << i + 1;
    largest = std::max(largest, size);
  }
  EXPECT_EQ(reader.MaxSampleSize(track), largest);
}

TEST_F(Mp4FileReaderFfmpeg, VideoAndAudioSamplesMatchFfprobeWithAndWithoutBFrames) {
  for (const char* name : {"av.mp4", "av_nob.mp4"}) {
    SCOPED_TRACE(name);
    auto reader = Mp4FileReader::Open(file(name));
    ASSERT_TRUE(reader);
    TrackId video = reader->FindTrackId(TrackKind::Video);
    TrackId audio = reader->FindTrackId(TrackKind::Audio);
    ASSERT_NE(video, kInvalidTrackId);
    ASSERT_NE(audio, kInvalidTrackId);
    EXPECT_EQ(reader->FindTrackId(TrackKind::Video, 1), kInvalidTrackId);
    expectSamplesMatch(*reader, video, ProbePackets(file(name), "v"));
    expectSamplesMatch(*reader, audio, ProbePackets(file(name), "a"));
  }
}

TEST_F(Mp4FileReaderFfmpeg, TrackDescriptionsMatchFfprobe) {
  auto reader = Mp4FileReader::Open(file("av.mp4"));
  ASSERT_TRUE(reader);
  TrackId video = reader->FindTrackId(TrackKind::Video);
  TrackId audio = reader->FindTrackId(TrackKind::Audio);
  EXPECT_EQ(reader->MediaDataName(video), "avc1");
  EXPECT_EQ(reader->MediaDataName(audio), "mp4a");
  EXPECT_EQ(reader->VideoWidth(video), 320);
  EXPECT_EQ(reader->VideoHeight(video), 240);
  EXPECT_NEAR(reader->VideoFrameRate(video), 25.0, 0.01);
  EXPECT_NEAR(double(reader->Duration(video)) / reader->TimeScale(video), 3.0, 0.05);
  std::vector<std::vector<uint8_t>> sps, pps;
  ASSERT_TRUE(reader->H264ParameterSets(video, sps, pps));
  ASSERT_EQ(sps.size(), 1u);
  ASSERT_EQ(pps.size(), 1u);
  EXPECT_EQ(sps[0][0] & 0x1F, 7);
  EXPECT_EQ(pps[0][0] & 0x1F, 8);
  EXPECT_FALSE(reader->ESConfiguration(video, sps[0]));

  EXPECT_EQ(reader->TimeScale(audio), 44100u);
  EXPECT_EQ(reader->AudioChannels(audio), 2);
  std::vector<uint8_t> config;
  ASSERT_TRUE(reader->ESConfiguration(audio, config));
  ASSERT_GE(config.size(), 2u);
  EXPECT_EQ(config[0], 0x12);         // AAC LC at 44100 Hz
  EXPECT_EQ(config[1] & 0xF8, 0x10);  // two channels
  EXPECT_EQ(std::to_string(reader->SampleCount(audio)), ProbeStream(file("av.mp4"), "a", "nb_frames"));
}

TEST_F(Mp4FileReaderFfmpeg, SingleTrackFilesOpenWithOnlyThatTrack) {
  auto video = Mp4FileReader::Open(file("video.mp4"));
  ASSERT_TRUE(video);
  EXPECT_NE(video->FindTrackId(TrackKind::Video), kInvalidTrackId);
  EXPECT_EQ(video->FindTrackId(TrackKind::Audio), kInvalidTrackId);
  expectSamplesMatch(*video, video->FindTrackId(TrackKind::Video), ProbePackets(file("video.mp4"), "v"));

  auto audio = Mp4FileReader::Open(file("audio.mp4"));
  ASSERT_TRUE(audio);
  EXPECT_EQ(audio->FindTrackId(TrackKind::Video), kInvalidTrackId);
  expectSamplesMatch(*audio, audio->FindTrackId(TrackKind::Audio), ProbePackets(file("audio.mp4"), "a"));
}

TEST_F(Mp4FileReaderFfmpeg, HevcTrackIsNamedByItsOwnSampleEntry) {
  auto reader = Mp4FileReader::Open(file("hevc.mp4"));
  ASSERT_TRUE(reader);
  TrackId video = reader->FindTrackId(TrackKind::Video);
  ASSERT_NE(video, kInvalidTrackId);
  std::string name = reader->MediaDataName(video);
  EXPECT_TRUE(name == "hev1" || name == "hvc1") << name;
  std::vector<std::vector<uint8_t>> sps, pps;
  EXPECT_FALSE(reader->H264ParameterSets(video, sps, pps));
}

TEST_F(Mp4FileReaderFfmpeg, ReadSampleRefusesBadIdsAndShortBuffers) {
  auto reader = Mp4FileReader::Open(file("av.mp4"));
  ASSERT_TRUE(reader);
  TrackId video = reader->FindTrackId(TrackKind::Video);
  std::vector<uint8_t> buffer(reader->MaxSampleSize(video));
  uint32_t size = 0, count = reader->SampleCount(video);
  bool sync;
  auto capacity = static_cast<uint32_t>(buffer.size());
  EXPECT_FALSE(reader->ReadSample(video, 0, buffer.data(), capacity, size, sync));
  EXPECT_FALSE(reader->ReadSample(video, count + 1, buffer.data(), capacity, size, sync));
  EXPECT_FALSE(reader->ReadSample(99, 1, buffer.data(), capacity, size, sync));
  EXPECT_FALSE(reader->ReadSample(video, 1, buffer.data(), 10, size, sync));  // the key frame is larger
  EXPECT_TRUE(reader->ReadSample(video, count, buffer.data(), capacity, size, sync));
}

// Damaged copies: the first occurrence of a table's four characters is the
// video track's table in these files.
class Mp4FileReaderDamaged : public Mp4FileReaderFfmpeg {
 protected:
  void SetUp() override {
    Mp4FileReaderFfmpeg::SetUp();
    if (IsSkipped()) return;
    bytes_ = ReadFileBytes(file("av_nob.mp4"));
    SetLogHandler([this](LogSource, const std::string& line) { lines_.push_back(line); });
  }
  void TearDown() override { SetLogHandler(nullptr); }

  size_t find(const char* fourcc) {
    auto at = std::search(bytes_.begin(), bytes_.end(), fourcc, fourcc + 4);
    return at == bytes_.end() ? 0 : size_t(at - bytes_.begin());
  }
  void expectRefused(const std::vector<uint8_t>& bytes, const char* reason) {
    lines_.clear();
    std::string path = file("damaged.mp4");
    WriteFileBytes(path, bytes);
    EXPECT_FALSE(Mp4FileReader::Open(path)) << reason;
    ASSERT_EQ(lines_.size(), 1u) << reason;
    EXPECT_NE(lines_[0].find("refusing " + path + ": "), std::string::npos) << lines_[0];
    EXPECT_NE(lines_[0].find(reason), std::string::npos) << lines_[0];
  }

  std::vector<uint8_t> bytes_;
  std::vector<std::string> lines_;
};

TEST_F(Mp4FileReaderDamaged, TruncationsAndMissingMovieAreRefused) {
  std::vector<uint8_t> empty;
  expectRefused(empty, "no movie box");
  std::vector<uint8_t> noMovie = bytes_;
  std::copy_n("free", 4, noMovie.begin() + find("moov"));
  expectRefused(noMovie, "no movie box");
  size_t moov = find("moov") - 4;
  // ffmpeg puts the movie box last, so cutting its tail cuts the movie box.
  expectRefused(std::vector<uint8_t>(bytes_.begin(), bytes_.end() - 9), "past the end of the file");
  std::vector<uint8_t> moovOnly(bytes_.begin() + moov, bytes_.end());
  expectRefused(moovOnly, "sample lies outside the file");
}

TEST_F(Mp4FileReaderDamaged, InconsistentTablesAreRefused) {
  std::vector<uint8_t> more = bytes_;
  size_t stsz = find("stsz");
  PutU32(&more[stsz + 12], GetU32(&more[stsz + 12]) + 1000);
  expectRefused(more, "fewer sizes than it counts");

  std::vector<uint8_t> fewer = bytes_;
  PutU32(&fewer[stsz + 12], GetU32(&fewer[stsz + 12]) - 1);
  expectRefused(fewer, "decoding time table counts more samples");

  std::vector<uint8_t> chunk = bytes_;
  size_t stco = find("stco");
  PutU32(&chunk[stco + 12], uint32_t(bytes_.size()));
  expectRefused(chunk, "sample lies outside the file");

  std::vector<uint8_t> sync = bytes_;
  size_t stss = find("stss");
  ASSERT_GE(GetU32(&sync[stss + 8]), 2u);
  PutU32(&sync[stss + 16], 1);  // second key frame before the first
  expectRefused(sync, "out of order");

  std::vector<uint8_t> runs = bytes_;
  size_t stsc = find("stsc");
  PutU32(&runs[stsc + 12], 2);  // first run must start at chunk 1
  expectRefused(runs, "sample-to-chunk");

  std::vector<uint8_t> box = bytes_;
  size_t stbl = find("stbl");
  PutU32(&box[stbl - 4], 0x7FFFFFF0);
  expectRefused(box, "damaged box");

  std::vector<uint8_t> scale = bytes_;
  size_t mdhd = find("mdhd");
  PutU32(&scale[mdhd + 16], 0);
  expectRefused(scale, "time scale 0");
}

TEST(Mp4FileReaderInput, MissingFileAndGarbageAreRefused) {
  std::vector<std::string> lines;
  SetLogHandler([&](LogSource, const std::string& line) { lines.push_back(line); });
  EXPECT_FALSE(Mp4FileReader::Open("/nonexistent/file.mp4"));
  EXPECT_FALSE(Mp4FileReader::Open("/"));
  const uint8_t garbage[] = {0, 0, 0, 4, 'f', 't', 'y', 'p', 1, 2, 3};
  EXPECT_FALSE(Mp4FileReader::Open(std::make_unique<MemorySource>(garbage, sizeof garbage), "garbage"));
  const uint8_t largeSize[] = {0, 0, 0, 1, 'm', 'o', 'o', 'v', 0xFF, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(Mp4FileReader::Open(std::make_unique<MemorySource>(largeSize, sizeof largeSize), "large"));
  SetLogHandler(nullptr);
  EXPECT_EQ(lines.size(), 4u);
}

}  // namespace

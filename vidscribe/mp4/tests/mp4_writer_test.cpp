// Mp4Writer fed like a live recorder (Annex B video, ADTS audio, ms clocks),
// with its output judged by ffprobe, ffmpeg and the module's reader.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <thread>

#include "media_fixtures.h"
#include "mp4file/mp4_file_reader.h"
#include "recording_source.h"
#include "vidscribe/vidscribe.h"

using namespace mp4file;
using namespace mp4test;

namespace {

class Mp4WriterRecording : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  }

  static void record(Mp4Writer& writer, const Recording& r) {
    for (const Frame& f : r.frames) {
      std::vector<uint8_t> bytes = f.bytes;  // the writer takes non-const buffers
      int result =
          f.video ? writer.WriteVideo(bytes.data(), int(bytes.size()), f.timestamp, f.key, f.compositionTime)
                  : writer.WriteAudio(bytes.data(), int(bytes.size()), f.timestamp);
      ASSERT_EQ(result, 0);
    }
  }

  TempDir dir_;
};

TEST_F(Mp4WriterRecording, FfmpegStreamsWithBFramesComeOutWhole) {
  std::string source = CachedMp4(SourceOptions());
  ASSERT_FALSE(source.empty());
  Recording r = RecordingFromMp4(source);
  ASSERT_FALSE(r.frames.empty());
  std::string out = dir_.File("recorded.mp4");
  {
    Mp4Writer writer;
    writer.SetVideo(7, 0, 0, 25);     // size left to the SPS
    writer.SetAudio(10, 8000, 1, 2);  // overridden by the ADTS headers
    ASSERT_TRUE(writer.Open(out.c_str()));
    record(writer, r);
    ASSERT_TRUE(writer.Close());
  }
  EXPECT_EQ(DecodeErrors(out), "");
  EXPECT_EQ(ProbeStream(out, "v", "codec_name,width,height"), "h264,320,240");
  EXPECT_EQ(ProbeStream(out, "a", "codec_name,sample_rate,channels"), "aac,44100,2");
  EXPECT_EQ(ProbeStream(out, "v", "nb_frames"), ProbeStream(source, "v", "nb_frames"));
  EXPECT_EQ(ProbeStream(out, "a", "nb_frames"), ProbeStream(source, "a", "nb_frames"));
  EXPECT_NEAR(std::stod(ProbeStream(out, "v", "duration")), 3.0, 0.05);
  EXPECT_NEAR(std::stod(ProbeStream(out, "a", "duration")), 3.0, 0.05);

  std::vector<Packet> ours = ProbePackets(out, "v"), theirs = ProbePackets(source, "v");
  ASSERT_EQ(ours.size(), theirs.size());
  for (size_t i = 0; i < ours.size(); ++i) {
    if (i > 0) {
      EXPECT_GT(ours[i].dts, ours[i - 1].dts) << "decode times must rise strictly, sample " << i;
      EXPECT_EQ(ours[i].dts - ours[i - 1].dts, 3600) << "40 ms at 90 kHz, sample " << i;
    }
    EXPECT_EQ(ours[i].pts - ours[i].dts, (theirs[i].pts - theirs[i].dts) * 90000 / 12800) << i;
    EXPECT_EQ(ours[i].key, theirs[i].key) << i;
  }
  std::vector<Packet> ourAudio = ProbePackets(out, "a");
  for (size_t i = 1; i < ourAudio.size(); ++i) {
    EXPECT_EQ(ourAudio[i].dts - ourAudio[i - 1].dts, 1024) << "AAC frames last 1024 samples, frame " << i;
  }
}

// Ten minutes of 25 fps video and 44.1 kHz AAC with the millisecond
// timestamps a live source gives (AAC frames 23.2 ms apart land on 23 or
// 24). The samples need not decode; only the track durations are judged.
TEST_F(Mp4WriterRecording, TenMinutesKeepAudioAndVideoWithinOneFrame) {
  std::string source = CachedMp4(SourceOptions());
  ASSERT_FALSE(source.empty());
  Recording r = RecordingFromMp4(source);
  std::string out = dir_.File("long.mp4");
  Mp4Writer writer;
  ASSERT_TRUE(writer.Open(out.c_str()));
  std::vector<uint8_t> key;
  for (const auto* set : {&r.sps, &r.pps}) {
    key.insert(key.end(), {0, 0, 0, 1});
    key.insert(key.end(), set->begin(), set->end());
  }
  key.insert(key.end(), {0, 0, 0, 1, 0x65, 0x88, 0x84});
  std::vector<uint8_t> delta = {0, 0, 1, 0x41, 0x9A, 0x02};
  std::vector<uint8_t> aac = {0x21, 0x10, 0x04, 0x60, 0x8C, 0x1C};
  const int seconds = 600;
  const int videoFrames = seconds * 25;
  const int audioFrames = int(std::ceil(seconds * 44100.0 / 1024));
  int v = 0, a = 0;
  while (v < videoFrames || a < audioFrames) {
    uint32_t videoTime = uint32_t(v) * 40;
    uint32_t audioTime = uint32_t(uint64_t(a) * 1024 * 1000 / 44100);
    if (v < videoFrames && (a >= audioFrames || videoTime <= audioTime)) {
      std::vector<uint8_t>& frame = v % 50 == 0 ? key : delta;
      ASSERT_EQ(writer.WriteVideo(frame.data(), int(frame.size()), videoTime, v % 50 == 0, 0), 0);
      ++v;
    } else {
      ASSERT_EQ(writer.WriteAudio(aac.data(), int(aac.size()), audioTime), 0);
      ++a;
    }
  }
  writer.SetAudio(10, 44100, 2, 2);
  ASSERT_TRUE(writer.Close());
  auto reader = Mp4FileReader::Open(out);
  ASSERT_TRUE(reader);
  TrackId video = reader->FindTrackId(TrackKind::Video), audio = reader->FindTrackId(TrackKind::Audio);
  double videoSeconds = double(reader->Duration(video)) / reader->TimeScale(video);
  double audioSeconds = double(reader->Duration(audio)) / reader->TimeScale(audio);
  EXPECT_NEAR(videoSeconds, seconds, 0.04);
  EXPECT_NEAR(audioSeconds, videoSeconds, 1024.0 / 44100);
  EXPECT_EQ(reader->SampleCount(video), uint32_t(videoFrames));
  EXPECT_EQ(reader->SampleCount(audio), uint32_t(audioFrames));
  // Half-way through, each track's clock still agrees with the caller's.
  SampleTiming t;
  ASSERT_TRUE(reader->Timing(audio, uint32_t(audioFrames / 2) + 1, t));
  double expected = double(uint64_t(audioFrames / 2) * 1024 * 1000 / 44100) / 1000;
  EXPECT_NEAR(double(t.decodeTime) / 44100, expected, 1024.0 / 44100);
}

TEST_F(Mp4WriterRecording, FirstSampleGetsTheGapToTheSecondAndLostAudioIsBridged) {
  std::string out = dir_.File("gaps.mp4");
  std::string source = CachedMp4(SourceOptions());
  Recording r = RecordingFromMp4(source);
  Mp4Writer writer;
  ASSERT_TRUE(writer.Open(out.c_str()));
  std::vector<uint8_t> key;
  for (const auto* set : {&r.sps, &r.pps}) {
    key.insert(key.end(), {0, 0, 0, 1});
    key.insert(key.end(), set->begin(), set->end());
  }
  key.insert(key.end(), {0, 0, 1, 0x65, 0x88});
  std::vector<uint8_t> aac = {0x21, 0x10, 0x04};
  for (uint32_t ms : {0u, 33u, 67u, 100u}) writer.WriteVideo(key.data(), int(key.size()), ms, true, 0);
  // Audio 23 ms apart, then a frame lost: the next one arrives 46 ms later.
  for (uint32_t ms : {0u, 23u, 46u, 92u, 116u}) writer.WriteAudio(aac.data(), int(aac.size()), ms);
  ASSERT_TRUE(writer.Close());
  auto reader = Mp4FileReader::Open(out);
  ASSERT_TRUE(reader);
  TrackId video = reader->FindTrackId(TrackKind::Video), audio = reader->FindTrackId(TrackKind::Audio);
  std::vector<uint32_t> durations;
  SampleTiming t;
  for (uint32_t id = 1; reader->Timing(video, id, t); ++id) durations.push_back(t.duration);
  EXPECT_EQ(durations, (std::vector<uint32_t>{2970, 3060, 2970, 2970}));
  durations.clear();
  for (uint32_t id = 1; reader->Timing(audio, id, t); ++id) durations.push_back(t.duration);
  // The lost frame's time goes to the frame before the gap: 92 ms is sample
  // 4057, and 2048 samples were written before it.
  EXPECT_EQ(durations, (std::vector<uint32_t>{1024, 1024, 2009, 1024, 1024}));
  EXPECT_EQ(reader->TimeScale(audio), 44100u);  // SetAudio's defaults, no ADTS header seen
}

TEST_F(Mp4WriterRecording, RefusalsAndDroppedFrames) {
  Mp4Writer writer;
  uint8_t frame[] = {0, 0, 0, 1, 0x41, 0x9A};
  EXPECT_EQ(writer.WriteVideo(frame, sizeof frame, 0, false, 0), -1);
  EXPECT_EQ(writer.WriteAudio(frame, sizeof frame, 0), -1);
  EXPECT_TRUE(writer.Close());  // nothing open

  {
    StderrCapture log;
    writer.SetAudio(10, 44100, 2, 2);
    EXPECT_NE(log.Text().find("SetAudio 2x44100 profile 2"), std::string::npos) << log.Text();
  }
  std::string out = dir_.File("p-frames.mp4");
  ASSERT_TRUE(writer.Open(out.c_str()));
  // P-frames only, then an IDR frame whose SPS is too short to give a profile.
  for (uint32_t ms = 0; ms < 200; ms += 40)
    EXPECT_EQ(writer.WriteVideo(frame, sizeof frame, ms, false, 0), 0);
  uint8_t shortSps[] = {0, 0, 0, 1, 0x67, 0x42, 0xC0, 0, 0, 0, 1, 0x65, 0x88};
  EXPECT_EQ(writer.WriteVideo(shortSps, sizeof shortSps, 200, true, 0), 0);
  uint8_t aac[] = {0x21, 0x10, 0x04};
  EXPECT_EQ(writer.WriteAudio(aac, sizeof aac, 0), 0);
  ASSERT_TRUE(writer.Close());
  auto reader = Mp4FileReader::Open(out);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->FindTrackId(TrackKind::Video), kInvalidTrackId);
  EXPECT_EQ(reader->SampleCount(reader->FindTrackId(TrackKind::Audio)), 1u);
  std::string missing = dir_.File("no/such/folder.mp4");
  EXPECT_FALSE(writer.Open(missing.c_str()));
}

// A frame with many units behind three-byte start codes grows by one byte
// per unit; the converted frame must still arrive whole.
TEST_F(Mp4WriterRecording, FramesWithManyShortStartCodesAreKeptWhole) {
  std::string source = CachedMp4(SourceOptions());
  Recording r = RecordingFromMp4(source);
  std::vector<uint8_t> frame = {0, 0, 0, 1};
  frame.insert(frame.end(), r.sps.begin(), r.sps.end());
  frame.insert(frame.end(), {0, 0, 0, 1});
  frame.insert(frame.end(), r.pps.begin(), r.pps.end());
  frame.insert(frame.end(), {0, 0, 1, 0x65, 0x88});
  for (int i = 0; i < 100; ++i) frame.insert(frame.end(), {0, 0, 1, 0x06, uint8_t(i + 1)});
  std::string out = dir_.File("units.mp4");
  Mp4Writer writer;
  ASSERT_TRUE(writer.Open(out.c_str()));
  ASSERT_EQ(writer.WriteVideo(frame.data(), int(frame.size()), 0, true, 0), 0);
  ASSERT_TRUE(writer.Close());
  auto reader = Mp4FileReader::Open(out);
  ASSERT_TRUE(reader);
  TrackId video = reader->FindTrackId(TrackKind::Video);
  EXPECT_EQ(reader->MaxSampleSize(video), frame.size() + 101);  // 102 units, 101 of them behind 3-byte codes
}

TEST_F(Mp4WriterRecording, VideoAndAudioFromTwoThreadsAllArrive) {
  Recording r = RecordingFromMp4(CachedMp4(SourceOptions()));
  std::string out = dir_.File("threads.mp4");
  Mp4Writer writer;
  ASSERT_TRUE(writer.Open(out.c_str()));
  std::thread video([&] {
    for (const Frame& f : r.frames) {
      std::vector<uint8_t> bytes = f.bytes;
      if (f.video) writer.WriteVideo(bytes.data(), int(bytes.size()), f.timestamp, f.key, f.compositionTime);
    }
  });
  std::thread audio([&] {
    for (const Frame& f : r.frames) {
      std::vector<uint8_t> bytes = f.bytes;
      if (!f.video) writer.WriteAudio(bytes.data(), int(bytes.size()), f.timestamp);
    }
  });
  video.join();
  audio.join();
  ASSERT_TRUE(writer.Close());
  EXPECT_EQ(DecodeErrors(out), "");
  EXPECT_EQ(ProbeStream(out, "v", "nb_frames"), "75");
  EXPECT_EQ(ProbeStream(out, "a", "nb_frames"), ProbeStream(CachedMp4(SourceOptions()), "a", "nb_frames"));
}

TEST_F(Mp4WriterRecording, AFullDiskIsReportedNotHidden) {
  Mp4Writer writer;
  ASSERT_TRUE(writer.Open("/dev/full"));
  std::vector<uint8_t> frame(3 << 20, 0x21);  // past the write buffer, so the failure shows at once
  EXPECT_EQ(writer.WriteAudio(frame.data(), int(frame.size()), 0), 0);  // held until the next frame
  EXPECT_EQ(writer.WriteAudio(frame.data(), int(frame.size()), 23), -1);
  EXPECT_FALSE(writer.Close());
}

TEST_F(Mp4WriterRecording, OpeningAgainFinishesTheFirstFile) {
  std::string first = dir_.File("first.mp4"), second = dir_.File("second.mp4");
  Mp4Writer writer;
  uint8_t aac[] = {0x21, 0x10, 0x04};
  ASSERT_TRUE(writer.Open(first.c_str()));
  writer.WriteAudio(aac, sizeof aac, 0);
  writer.WriteAudio(aac, sizeof aac, 23);
  ASSERT_TRUE(writer.Open(second.c_str()));
  writer.WriteAudio(aac, sizeof aac, 0);
  ASSERT_TRUE(writer.Close());
  auto reader = Mp4FileReader::Open(first);
  ASSERT_TRUE(reader);
  EXPECT_EQ(reader->SampleCount(reader->FindTrackId(TrackKind::Audio)), 2u);
  auto again = Mp4FileReader::Open(second);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->SampleCount(again->FindTrackId(TrackKind::Audio)), 1u);
}

// A recording cut off leaves its journal beside it. While that is there the
// path can still be repaired, so Open refuses it and touches neither file;
// a recording that finishes leaves no journal.
TEST_F(Mp4WriterRecording, OpenRefusesARecordingThatCanStillBeRepaired) {
  Recording r = RecordingFromMp4(CachedMp4(SourceOptions()));
  const std::string out = dir_.File("lesson.mp4");
  const std::string journal = vidscribe::RecordingJournalPath(out.c_str());
  {
    Mp4Writer writer;
    ASSERT_TRUE(writer.Open(out.c_str()));
    EXPECT_TRUE(std::ifstream(journal).good());
    record(writer, r);
    ASSERT_TRUE(writer.Close());
  }
  EXPECT_FALSE(std::ifstream(journal).good());
  const std::vector<uint8_t> bytes = ReadFileBytes(out), left = {'V', 'S', 'J'};
  WriteFileBytes(journal, left);
  Mp4Writer writer;
  StderrCapture log;
  EXPECT_FALSE(writer.Open(out.c_str()));
  EXPECT_NE(log.Text().find("refusing to record over " + out), std::string::npos) << log.Text();
  EXPECT_TRUE(ReadFileBytes(out) == bytes);
  EXPECT_TRUE(ReadFileBytes(journal) == left);
}

}  // namespace

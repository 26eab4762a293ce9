// Mp4Reader playing ffmpeg-made files and our own recordings into a sink,
// with its clock driven by hand.
#include <gtest/gtest.h>

#include "media_fixtures.h"
#include "reader_clock.h"
#include "recording_source.h"
#include "vidscribe/vidscribe.h"

using namespace mp4test;

namespace {

int64_t fakeNow = 0;
int64_t fakeClock() {
  return fakeNow;
}

struct Event {
  bool config;
  std::vector<uint8_t> bytes;
  uint32_t timestamp;
};

class RecordingSink : public IReader {
 public:
  void OnData(const uint8_t* data, int length, uint32_t timestamp) override {
    events.push_back({false, std::vector<uint8_t>(data, data + length), timestamp});
  }
  void OnVideoConfig(const uint8_t* data, int length, uint32_t timestamp, int keyframe) override {
    EXPECT_EQ(timestamp, 0u);
    EXPECT_EQ(keyframe, 1);
    events.push_back({true, std::vector<uint8_t>(data, data + length), timestamp});
  }
  std::vector<Event> events;
};

std::vector<uint8_t> startCoded(const std::vector<uint8_t>& unit) {
  std::vector<uint8_t> out = {0, 0, 0, 1};
  out.insert(out.end(), unit.begin(), unit.end());
  return out;
}

// What the reader should hand over for each stored sample.
struct Expected {
  std::vector<std::vector<uint8_t>> video, audio;
};

Expected expectedFrom(const Recording& r) {
  Expected e;
  for (const Frame& f : r.frames) {
    if (f.video) {
      e.video.push_back(startCoded({}));
      e.video.back().clear();
      for (size_t at = 0; at + 4 <= f.sample.size();) {
        size_t unit = (size_t{f.sample[at]} << 24) | (size_t{f.sample[at + 1]} << 16) |
                      (size_t{f.sample[at + 2]} << 8) | f.sample[at + 3];
        e.video.back().insert(e.video.back().end(), {0, 0, 0, 1});
        e.video.back().insert(e.video.back().end(), f.sample.begin() + at + 4,
                              f.sample.begin() + at + 4 + unit);
        at += 4 + unit;
      }
    } else {
      e.audio.push_back(f.sample);
    }
  }
  return e;
}

class Mp4ReaderPlayback : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
    fakeNow = 1000000;
    vidscribe::SetReaderClockForTesting(fakeClock);
  }
  void TearDown() override { vidscribe::SetReaderClockForTesting(nullptr); }

  // Pumps in 10 ms steps until the reader reports the end; every event must
  // be the next sample of one of the two tracks.
  static void playToEnd(Mp4Reader& reader, RecordingSink& sink, size_t from, const Expected& e) {
    size_t video = 0, audio = 0;
    for (int step = 0; step < 100000 && reader.Pump(); ++step) fakeNow += 10;
    for (size_t i = from; i < sink.events.size(); ++i) {
      const Event& ev = sink.events[i];
      ASSERT_FALSE(ev.config);
      if (video < e.video.size() && ev.bytes == e.video[video]) {
        ++video;
      } else if (audio < e.audio.size() && ev.bytes == e.audio[audio]) {
        ++audio;
      } else {
        FAIL() << "event " << i << " is not the next sample of either track";
      }
    }
    EXPECT_EQ(video, e.video.size());
    EXPECT_EQ(audio, e.audio.size());
  }

  TempDir dir_;
};

TEST_F(Mp4ReaderPlayback, DeliversConfigurationThenEverySampleOnceAsTheClockRuns) {
  SourceOptions noB;
  noB.bFrames = false;
  for (const SourceOptions& options : {SourceOptions(), noB}) {
    SCOPED_TRACE(options.bFrames ? "with B-frames" : "without B-frames");
    std::string path = CachedMp4(options);
    ASSERT_FALSE(path.empty());
    Recording r = RecordingFromMp4(path);
    RecordingSink sink;
    Mp4Reader reader(&sink);
    ASSERT_TRUE(reader.Open(path.c_str()));
    ASSERT_EQ(sink.events.size(), 3u);
    EXPECT_EQ(sink.events[0].bytes, startCoded(r.sps));
    EXPECT_EQ(sink.events[1].bytes, startCoded(r.pps));
    const std::vector<uint8_t>& adts = sink.events[2].bytes;
    ASSERT_EQ(adts.size(), 7u);
    EXPECT_EQ(adts[0], 0xFF);
    EXPECT_EQ(adts[1], 0xF1);
    EXPECT_EQ(((adts[3] & 3) << 11) | (adts[4] << 3) | (adts[5] >> 5), 14);
    EXPECT_EQ(reader.Width(), 320);
    EXPECT_EQ(reader.Height(), 240);

    // One second in, the first 25 video frames are due and no more.
    fakeNow += 1000;
    EXPECT_TRUE(reader.Pump());
    size_t videoSoFar = 0;
    for (size_t i = 3; i < sink.events.size(); ++i) {
      const std::vector<uint8_t>& b = sink.events[i].bytes;
      if (b.size() > 4 && b[0] == 0 && b[1] == 0 && b[2] == 0 && b[3] == 1) {
        EXPECT_EQ(sink.events[i].timestamp, videoSoFar * 40) << "video sample " << videoSoFar;
        ++videoSoFar;
      }
    }
    EXPECT_EQ(videoSoFar, 25u);
    playToEnd(reader, sink, 3, expectedFrom(r));
  }
}

TEST_F(Mp4ReaderPlayback, SingleTrackFilesOpen) {
  SourceOptions audioOnly;
  audioOnly.video = false;
  std::string path = CachedMp4(audioOnly);
  RecordingSink sink;
  Mp4Reader reader(&sink);
  ASSERT_TRUE(reader.Open(path.c_str()));
  ASSERT_EQ(sink.events.size(), 1u);
  EXPECT_EQ(sink.events[0].bytes.size(), 7u);
  EXPECT_FALSE(reader.HasVideo());
  EXPECT_NEAR(reader.Duration(), 3000, 50);
  playToEnd(reader, sink, 1, expectedFrom(RecordingFromMp4(path)));

  SourceOptions videoOnly;
  videoOnly.audio = false;
  path = CachedMp4(videoOnly);
  RecordingSink videoSink;
  Mp4Reader videoReader(&videoSink);
  ASSERT_TRUE(videoReader.Open(path.c_str()));
  ASSERT_EQ(videoSink.events.size(), 2u);
  EXPECT_TRUE(videoSink.events[1].config);
  playToEnd(videoReader, videoSink, 2, expectedFrom(RecordingFromMp4(path)));
}

TEST_F(Mp4ReaderPlayback, SeekLandsOnTheFirstKeyFrameFromFiveSecondsBefore) {
  SourceOptions longGop;
  longGop.audio = false;
  longGop.bFrames = false;
  longGop.seconds = 40;
  longGop.width = 160;
  longGop.height = 120;
  std::string path = CachedMp4(longGop);
  ASSERT_FALSE(path.empty());
  RecordingSink sink;
  Mp4Reader reader(&sink);
  ASSERT_TRUE(reader.Open(path.c_str()));
  sink.events.clear();

  reader.Seek(30000, 0);
  EXPECT_EQ(reader.getStamp(), 26000u);  // key frames every 2 s: 26 s is the first at or after 25 s
  fakeNow += 40;
  reader.Pump();
  ASSERT_EQ(sink.events.size(), 1u);
  EXPECT_EQ(sink.events[0].timestamp, 26000u);
  bool idr = false;
  const std::vector<uint8_t>& unit = sink.events[0].bytes;
  for (size_t i = 0; i + 4 < unit.size(); ++i) {
    if (unit[i] == 0 && unit[i + 1] == 0 && unit[i + 2] == 1 && (unit[i + 3] & 0x1F) == 5) idr = true;
  }
  EXPECT_TRUE(idr);

  sink.events.clear();
  reader.Seek(0, 0);
  EXPECT_EQ(reader.getStamp(), 0u);
  fakeNow += 40;
  reader.Pump();
  ASSERT_EQ(sink.events.size(), 1u);
  EXPECT_EQ(sink.events[0].timestamp, 0u);

  reader.Seek(3000, 0);  // the search starts at 0 and finds the first frame
  EXPECT_EQ(reader.getStamp(), 0u);
  reader.Seek(90000, 0);  // past the end: clamped, nothing left to deliver
  EXPECT_EQ(reader.getStamp(), 40000u);
  EXPECT_FALSE(reader.Pump());
}

TEST_F(Mp4ReaderPlayback, UnsupportedAndUnreadableFilesAreRefused) {
  SourceOptions hevc;
  hevc.videoCodec = "libx265";
  hevc.audio = false;
  hevc.seconds = 1;
  std::string path = CachedMp4(hevc);
  ASSERT_FALSE(path.empty());
  RecordingSink sink;
  Mp4Reader reader(&sink);
  {
    StderrCapture log;
    EXPECT_FALSE(reader.Open(path.c_str()));
    EXPECT_NE(log.Text().find("unsupported mp4 file " + path), std::string::npos) << log.Text();
  }
  EXPECT_FALSE(reader.Pump());
  std::string damaged = dir_.File("damaged.mp4");
  WriteFileBytes(damaged, {0, 0, 0, 9, 'm', 'o', 'o', 'v'});
  StderrCapture log;
  EXPECT_FALSE(reader.Open(damaged.c_str()));
  EXPECT_NE(log.Text().find("unable to open file " + damaged), std::string::npos) << log.Text();
  EXPECT_TRUE(sink.events.empty());
}

TEST_F(Mp4ReaderPlayback, RecordThenReadGivesBackTheOriginalUnitsAndFrames) {
  std::string source = CachedMp4(SourceOptions());
  Recording r = RecordingFromMp4(source);
  std::string path = dir_.File("roundtrip.mp4");
  {
    Mp4Writer writer;
    ASSERT_TRUE(writer.Open(path.c_str()));
    for (Frame f : r.frames) {
      if (f.video) {
        writer.WriteVideo(f.bytes.data(), int(f.bytes.size()), f.timestamp, f.key, f.compositionTime);
      } else {
        writer.WriteAudio(f.bytes.data(), int(f.bytes.size()), f.timestamp);
      }
    }
    ASSERT_TRUE(writer.Close());
  }
  Expected e;
  for (const Frame& f : r.frames) (f.video ? e.video : e.audio).push_back(f.video ? f.bytes : f.sample);
  RecordingSink sink;
  Mp4Reader reader(&sink);
  ASSERT_TRUE(reader.Open(path.c_str()));
  ASSERT_EQ(sink.events.size(), 3u);
  EXPECT_EQ(sink.events[0].bytes, startCoded(r.sps));
  playToEnd(reader, sink, 3, e);
}

}  // namespace

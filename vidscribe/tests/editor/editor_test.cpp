// Vidscriber as a reader and editor: opens, tag walking, ParseTag's
// conversions, seeking, and the splicing operations, on files whose layout
// the tests build or record themselves.
#include <gtest/gtest.h>
#include <unistd.h>

#include "../recorder/flv_file_view.h"
#include "../stderr_capture.h"
#include "bitstream/aac_config.h"
#include "vidscribe/vidscribe.h"

namespace {

using flvtest::AnnexB;
using flvtest::ReadFile;
using flvtest::Tags;

// Tags at the given times: a video key frame every keyEvery-th tag, other
// video frames between, each one length-prefixed unit.
std::string recordVideo(const flvtest::ScratchDir& dir, const char* name, bool keyframeMode,
                        const std::vector<unsigned>& times, size_t keyEvery) {
  Vidscriber w(keyframeMode);
  w.SetVideo(7, 320, 240, 25);
  const std::string path = dir / name;
  EXPECT_TRUE(w.Open(path.c_str()));
  for (size_t i = 0; i < times.size(); ++i) {
    auto frame =
        i % keyEvery == 0 ? AnnexB({flvtest::kSps, flvtest::kPps, flvtest::kIdr}) : AnnexB({flvtest::kSlice});
    w.WriteVideo(frame.data(), static_cast<int>(frame.size()), times[i], false, 0);
  }
  w.Close();
  return path;
}

std::vector<unsigned> every(unsigned step, unsigned count, unsigned from = 1000) {
  std::vector<unsigned> times;
  for (unsigned i = 0; i < count; ++i) times.push_back(from + i * step);
  return times;
}

TEST(EditorOpen, HeaderChecks) {
  flvtest::ScratchDir dir;
  flvtest::WriteFile(dir / "empty.flv", {'F', 'L', 'V', 1, 5, 0, 0, 0, 9, 0, 0, 0, 0});
  flvtest::WriteFile(dir / "foreign.flv", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 9, 0, 0, 0, 0});
  flvtest::WriteFile(dir / "short.flv", {'F', 'L', 'V', 1, 5});
  Vidscriber w(false);
  {
    StderrCapture log;
    ASSERT_TRUE(w.Open((dir / "empty.flv").c_str(), FLVIO::ModeRead));
    FlvTag tag;
    EXPECT_FALSE(w.LastTag(tag));
    EXPECT_FALSE(w.ReadTag(tag));
    EXPECT_NE(log.text().find("empty flv files"), std::string::npos);
    EXPECT_NE(log.text().find("parse header audio:4 video:1"), std::string::npos);
    // The header says both streams exist, codecs still open.
    EXPECT_EQ(w.SetVideo(7, 320, 240, 25), 0);
  }
  {
    StderrCapture log;
    EXPECT_FALSE(w.Open((dir / "foreign.flv").c_str(), FLVIO::ModeRead));
    EXPECT_NE(log.text().find("flv header prase error"), std::string::npos);
    EXPECT_NE(log.text().find("header parse error"), std::string::npos);
  }
  {
    StderrCapture log;
    EXPECT_FALSE(w.Open((dir / "short.flv").c_str(), FLVIO::ModeRead));
    EXPECT_NE(log.text().find("head too small"), std::string::npos);
  }
}

TEST(EditorOpen, AppendContinuesTheTimelineAndReplacesForeignContent) {
  flvtest::ScratchDir dir;
  const std::string path = recordVideo(dir, "twelve.flv", false, every(40, 301), 25);  // ends at 12000
  {
    Vidscriber w(false);
    StderrCapture log;
    ASSERT_TRUE(w.Open(path.c_str(), FLVIO::ModeAppend));
    EXPECT_NE(log.text().find("read duration 12000 from lastpos"), std::string::npos);
    w.SetVideo(7, 320, 240, 25);
    auto frame = AnnexB({flvtest::kSps, flvtest::kPps, flvtest::kIdr});
    w.WriteVideo(frame.data(), static_cast<int>(frame.size()), 777, false, 0);
    w.Close();
  }
  bool clean = false;
  const auto file = ReadFile(path);
  const auto tags = Tags(file, &clean);
  EXPECT_TRUE(clean);
  EXPECT_EQ(tags.back().time, 12000u);
  EXPECT_DOUBLE_EQ(flvtest::MetaNumber(file, "videocodecid"), 7);

  flvtest::WriteFile(dir / "text.flv", std::vector<uint8_t>(100, 'x'));
  Vidscriber w(false);
  ASSERT_TRUE(w.Open((dir / "text.flv").c_str(), FLVIO::ModeAppend));
  w.Close();
  const auto replaced = ReadFile(dir / "text.flv");
  Tags(replaced, &clean);
  EXPECT_TRUE(clean);
  EXPECT_EQ(std::string(replaced.begin(), replaced.begin() + 3), "FLV");
}

TEST(EditorParseTag, AvcUnitsBecomeStartCodesWithCompositionTimeAdded) {
  FlvTag tag(64);
  const std::vector<uint8_t> body = {0x27, 1, 0, 0, 40, 0, 0, 0, 2, 0xAA, 0xBB, 0, 0, 0, 1, 0xCC};
  tag.SetType(9);
  tag.SetDataSize(static_cast<uint32_t>(body.size()));
  tag.SetTimeStamp(1000);
  std::copy(body.begin(), body.end(), tag.GetData());
  tag.bodyRead = static_cast<int32_t>(body.size());
  Vidscriber reader(false);
  int offset = 0;
  uint32_t time = 0;
  EXPECT_EQ(reader.ParseTag(tag, offset, 1, &time), 2);
  EXPECT_EQ(offset, 20);
  EXPECT_EQ(time, 1040u);
  EXPECT_EQ(std::vector<uint8_t>(tag.buffer + 20, tag.buffer + 15 + body.size()),
            (std::vector<uint8_t>{0, 0, 0, 1, 0xAA, 0xBB, 0, 0, 0, 1, 0xCC}));
}

TEST(EditorParseTag, AacRawFrameGetsAdtsHeaderInFront) {
  Vidscriber reader(false);
  int offset = 0;
  FlvTag config(8);
  const uint8_t configBody[4] = {0xAF, 0, 0x12, 0x10};  // LC, 44100 Hz, stereo
  config.SetType(8);
  config.SetDataSize(4);
  std::copy(configBody, configBody + 4, config.GetData());
  config.bodyRead = 4;
  EXPECT_EQ(reader.ParseTag(config, offset, 1), 0);
  EXPECT_EQ(offset, 17);

  FlvTag tag(102);
  tag.SetType(8);
  tag.SetDataSize(102);
  tag.GetData()[0] = 0xAF;
  tag.GetData()[1] = 1;
  tag.bodyRead = 102;
  EXPECT_EQ(reader.ParseTag(tag, offset, 1), 1);
  EXPECT_EQ(offset, 10);
  int rate = 0, channels = 0, profile = 0;
  ASSERT_TRUE(vidscribe::ReadAdtsHeader(tag.buffer + 10, &rate, &channels, &profile));
  EXPECT_EQ(rate, 44100);
  EXPECT_EQ(channels, 2);
  const int frameLength = ((tag.buffer[13] & 3) << 11) | (tag.buffer[14] << 3) | (tag.buffer[15] >> 5);
  EXPECT_EQ(frameLength, 107);
}

TEST(EditorSeek, IndexLookupAndKeyOnlyWalkBack) {
  flvtest::ScratchDir dir;
  // Key frames at 0, 4000 and 8000 ms, indexed at Close.
  const std::string path = recordVideo(dir, "k.flv", true, every(400, 25), 10);
  {
    Vidscriber reader(false);
    ASSERT_TRUE(reader.Open(path.c_str(), FLVIO::ModeRead));
    EXPECT_EQ(reader.SeekTag(5000, 1), 4000);
    FlvTag tag;
    ASSERT_TRUE(reader.ReadTag(tag));
    EXPECT_EQ(tag.GetTimeStamp(), 4000u);
    EXPECT_TRUE(tag.isKeyFrame());
    EXPECT_EQ(reader.SeekTag(9999, 1), 8000);
  }
  // The same answers by walking, with no index loaded.
  const std::string walked = recordVideo(dir, "w.flv", false, every(400, 25), 10);
  Vidscriber reader(false);
  ASSERT_TRUE(reader.Open(walked.c_str(), FLVIO::ModeRead));
  EXPECT_EQ(reader.SeekTag(5000, 1), 4000);
  EXPECT_EQ(reader.SeekTag(5000, 0), 4800);
  EXPECT_EQ(reader.SeekTag(100000, 0), 9600);
  FlvTag tag;
  ASSERT_TRUE(reader.ReadTag(tag));
  EXPECT_EQ(tag.GetTimeStamp(), 9600u);
  EXPECT_EQ(reader.SeekTag(0, 0), 0);
}

TEST(EditorSeek, ForwardThenBackWithoutIndex) {
  flvtest::ScratchDir dir;
  const std::string path = recordVideo(dir, "s.flv", false, {1000, 1040, 1080}, 10);
  Vidscriber reader(false);
  ASSERT_TRUE(reader.Open(path.c_str(), FLVIO::ModeRead));
  EXPECT_EQ(reader.SeekTag(50, 0), 40);
  FlvTag tag;
  ASSERT_TRUE(reader.ReadTag(tag));
  EXPECT_EQ(tag.GetTimeStamp(), 40u);
  // LastTag leaves the position inside the last tag, not on a slot.
  ASSERT_TRUE(reader.LastTag(tag));
  EXPECT_EQ(reader.SeekTag(50, 0), 40);
  ASSERT_TRUE(reader.LastTag(tag));
  EXPECT_EQ(reader.SeekTag(85, 1), 0);
  Vidscriber closed(false);
  EXPECT_EQ(closed.SeekTag(50, 0), -1);
}

TEST(EditorSplice, AddSpaceWritesWholeMuteFrames) {
  flvtest::ScratchDir dir;
  const std::string path = dir / "a.flv";
  Vidscriber w(false);
  w.SetAudio(10, 44100, 2, 2);
  ASSERT_TRUE(w.Open(path.c_str()));
  uint8_t raw[20] = {};
  for (int i = 0; i < 5; ++i) w.WriteAudio(raw, sizeof raw, 1000 + i * 23);
  StderrCapture log;
  EXPECT_EQ(w.AddSpace(1000), 989);
  EXPECT_NE(log.text().find("reset aac delta from 23 to 23"), std::string::npos);
  w.Close();
  bool clean = false;
  const auto tags = Tags(ReadFile(path), &clean);
  ASSERT_TRUE(clean);
  int mute = 0;
  for (const auto& tag : tags) mute += tag.type == 8 && tag.body.size() == 2 && tag.body[1] == 1;
  EXPECT_EQ(mute, 43);
  EXPECT_EQ(tags.back().time, 92u + 989u);

  // No audio at all: nothing to take an interval from, nothing written.
  const std::string video = recordVideo(dir, "v.flv", false, every(40, 3), 10);
  Vidscriber v(false);
  ASSERT_TRUE(v.Open(video.c_str(), FLVIO::ModeAppend));
  EXPECT_EQ(v.AddSpace(1000), 0);
}

TEST(EditorSplice, AddFlvAfterSilenceAndKeyFramesIndexed) {
  flvtest::ScratchDir dir;
  const std::string source = recordVideo(dir, "src.flv", false, every(40, 10), 5);
  const std::string path = dir / "dst.flv";
  Vidscriber w(true);
  w.SetVideo(7, 320, 240, 25);
  w.SetAudio(10, 48000, 1, 2);
  ASSERT_TRUE(w.Open(path.c_str()));
  auto frame = AnnexB({flvtest::kSps, flvtest::kPps, flvtest::kIdr});
  w.WriteVideo(frame.data(), static_cast<int>(frame.size()), 1000, false, 0);
  uint8_t raw[10] = {};
  w.WriteAudio(raw, sizeof raw, 1000);
  w.WriteAudio(raw, sizeof raw, 1021);
  ASSERT_TRUE(w.AddFlv(source.c_str(), -500));
  w.Close();
  bool clean = false;
  const auto file = ReadFile(path);
  const auto tags = Tags(file, &clean);
  ASSERT_TRUE(clean);
  // 500 ms of 21 ms frames after the last audio frame at 21 ms: 23 frames,
  // the last at 504, so the silence ends at 525; the source then starts
  // 500 ms later.
  uint32_t firstAdded = 0;
  for (const auto& tag : tags)
    if (tag.type == 9 && tag.time > 21 && firstAdded == 0) firstAdded = tag.time;
  EXPECT_EQ(firstAdded, 21u + 483u + 21u + 500u);
  EXPECT_EQ(tags.back().time, firstAdded + 360);
  const auto index = flvtest::IndexOf(file);
  ASSERT_EQ(index.size(), 3u);
  for (const auto& entry : index) {
    EXPECT_EQ(file[static_cast<size_t>(entry.second)], 9);
    EXPECT_EQ(file[static_cast<size_t>(entry.second) + 11], 0x17);
  }
  StderrCapture log;
  EXPECT_FALSE(w.AddFlv((dir / "missing.flv").c_str(), 0));
  EXPECT_NE(log.text().find("AddFlv unable to open flv"), std::string::npos);
}

// A file cannot be appended to itself, under any of its names: the copy
// would read the tags it writes until the disk is full.
TEST(EditorSplice, AddFlvRefusesTheFileItAppendsTo) {
  flvtest::ScratchDir dir;
  const std::string path = recordVideo(dir, "self.flv", false, every(40, 10), 5);
  ASSERT_EQ(::link(path.c_str(), (dir / "alias.flv").c_str()), 0);
  const auto before = ReadFile(path);
  Vidscriber w(false);
  ASSERT_TRUE(w.Open(path.c_str(), FLVIO::ModeAppend));
  EXPECT_FALSE(w.AddFlv(path.c_str(), 0));
  EXPECT_FALSE(w.AddFlv((dir / "alias.flv").c_str(), 0));
  EXPECT_EQ(w.io().Size(), static_cast<int64_t>(before.size()));
}

// Seconds in onMetaData are not exact in binary: 8.04 * 1000 is
// 8039.999..., which must read back as the 8040 ms the file was written
// with, for its duration and for its key-frame index alike.
TEST(EditorOpen, MetaDataMillisecondsReadBackRounded) {
  flvtest::ScratchDir dir;
  // Frames every 40 ms up to 8040 ms, a key frame every third (8040 is one).
  const std::string path = recordVideo(dir, "eight.flv", true, every(40, 202), 3);
  {
    Vidscriber reader(false);
    ASSERT_TRUE(reader.Open(path.c_str(), FLVIO::ModeRead));
    vidscribe::MediaDescription d;
    reader.Describe(d);
    EXPECT_EQ(d.duration, 8040u);
    EXPECT_EQ(reader.SeekTag(8040, 1), 8040);
  }
  Vidscriber w(true);
  ASSERT_TRUE(w.Open(path.c_str(), FLVIO::ModeAppend));
  w.SetVideo(7, 320, 240, 25);
  auto frame = AnnexB({flvtest::kSps, flvtest::kPps, flvtest::kIdr});
  w.WriteVideo(frame.data(), static_cast<int>(frame.size()), 5000, false, 0);
  w.Close();
  EXPECT_EQ(Tags(ReadFile(path)).back().time, 8040u);
}

TEST(EditorKeyFrameIndex, CopyWithIndexKeepsMediaAndRefusesItself) {
  flvtest::ScratchDir dir;
  const std::string source = recordVideo(dir, "src.flv", false, every(40, 30), 10);
  const std::string indexed = dir / "indexed.flv";
  ASSERT_TRUE(Vidscriber::AddKeyFrame(source.c_str(), indexed.c_str(), false));
  const auto before = Tags(ReadFile(source));
  const auto file = ReadFile(indexed);
  const auto after = Tags(file);
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 1; i < before.size(); ++i) EXPECT_EQ(before[i].body, after[i].body);
  const auto index = flvtest::IndexOf(file);
  ASSERT_EQ(index.size(), 3u);
  for (const auto& entry : index) EXPECT_EQ(file[static_cast<size_t>(entry.second) + 11], 0x17);

  StderrCapture log;
  EXPECT_FALSE(Vidscriber::AddKeyFrame(indexed.c_str(), (dir / "again.flv").c_str(), false));
  EXPECT_NE(log.text().find("already have keyframe, please use origin file"), std::string::npos);
  ASSERT_TRUE(Vidscriber::AddKeyFrame(indexed.c_str(), (dir / "again.flv").c_str(), true));
  EXPECT_EQ(ReadFile(dir / "again.flv"), file);
  EXPECT_FALSE(Vidscriber::AddKeyFrame(source.c_str(), source.c_str(), true));
  EXPECT_EQ(Tags(ReadFile(source)).size(), before.size());
}

TEST(EditorKeyFrameIndex, CopyRepairsBackPointersAndStopsAtACutTag) {
  flvtest::ScratchDir dir;
  const std::string source = recordVideo(dir, "src.flv", false, every(40, 30), 10);
  auto bytes = ReadFile(source);
  const auto tags = Tags(bytes);
  // A wrong back-pointer behind the fifth tag, and the last tag cut short.
  const size_t trailer = static_cast<size_t>(tags[4].offset) + 11 + tags[4].body.size();
  bytes[trailer + 3] ^= 0x5A;
  bytes.resize(bytes.size() - 6);
  flvtest::WriteFile(dir / "damaged.flv", bytes);
  ASSERT_TRUE(Vidscriber::AddKeyFrame((dir / "damaged.flv").c_str(), (dir / "fixed.flv").c_str(), false));
  bool clean = false;
  const auto fixed = Tags(ReadFile(dir / "fixed.flv"), &clean);
  EXPECT_TRUE(clean);
  ASSERT_EQ(fixed.size(), tags.size() - 1);
  for (size_t i = 1; i < fixed.size(); ++i) EXPECT_EQ(fixed[i].body, tags[i].body);
}

// A stream handed over by the host: read through, released exactly once.
class BytesStream : public IReadStream {
 public:
  explicit BytesStream(std::vector<uint8_t> bytes) : bytes(std::move(bytes)) {}
  void AddRef() override {}
  void Release() override { ++releases; }
  int32_t Read(uint8_t* buffer, int32_t count) override {
    const int64_t left = static_cast<int64_t>(bytes.size()) - pos;
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(count, left));
    std::copy(bytes.begin() + pos, bytes.begin() + pos + n, buffer);
    pos += n;
    return n;
  }
  int32_t Seek(int64_t offset, int32_t origin) override {
    const int64_t base = origin == 0 ? 0 : origin == 1 ? pos : static_cast<int64_t>(bytes.size());
    if (base + offset < 0 || base + offset > static_cast<int64_t>(bytes.size())) return -1;
    pos = base + offset;
    return 0;
  }
  int64_t Pos() override { return pos; }
  int64_t Size() override { return static_cast<int64_t>(bytes.size()); }
  std::vector<uint8_t> bytes;
  int64_t pos = 0;
  int releases = 0;
};

TEST(EditorStream, AttachOpenReadsAndReleasesOnce) {
  flvtest::ScratchDir dir;
  const std::string path = recordVideo(dir, "k.flv", true, every(400, 25), 10);
  BytesStream stream(ReadFile(path));
  {
    Vidscriber reader(false);
    ASSERT_TRUE(reader.AttachOpen(&stream));
    EXPECT_EQ(reader.SeekTag(5000, 1), 4000);
    FlvTag tag;
    ASSERT_TRUE(reader.ReadTag(tag));
    EXPECT_TRUE(tag.isKeyFrame());
    EXPECT_TRUE(reader.Close());
  }
  EXPECT_EQ(stream.releases, 1);
  EXPECT_EQ(stream.bytes, ReadFile(path));
}

}  // namespace

// Vidscriber as a recorder, on small synthetic streams whose every byte the
// tests can predict.
#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "../stderr_capture.h"
#include "flv_file_view.h"
#include "vidscribe/vidscribe.h"

namespace {

using flvtest::AnnexB;
using flvtest::kIdr;
using flvtest::kPps;
using flvtest::kSlice;
using flvtest::kSps;
using flvtest::ReadFile;
using flvtest::Tags;

std::vector<uint8_t> idrFrame() {
  return AnnexB({kSps, kPps, kIdr});
}
std::vector<uint8_t> interFrame() {
  return AnnexB({kSlice});
}

int video(Vidscriber& w, std::vector<uint8_t> frame, unsigned time, int cts = 0) {
  return w.WriteVideo(frame.data(), static_cast<int>(frame.size()), time, false, cts);
}

// Seven-byte ADTS header without CRC and a payload of n bytes.
std::vector<uint8_t> adtsFrame(int rateIndex, int channels, int n) {
  const int length = n + 7;
  std::vector<uint8_t> frame = {0xFF,
                                0xF1,
                                static_cast<uint8_t>((1 << 6) | (rateIndex << 2) | ((channels >> 2) & 1)),
                                static_cast<uint8_t>(((channels & 3) << 6) | (length >> 11)),
                                static_cast<uint8_t>((length >> 3) & 0xFF),
                                static_cast<uint8_t>(((length & 7) << 5) | 0x1F),
                                0xFC};
  for (int i = 0; i < n; ++i) frame.push_back(static_cast<uint8_t>(0x21 + i));
  return frame;
}

TEST(RecordingAvc, FirstFrameBringsSequenceHeaderAndLengthPrefixedUnits) {
  flvtest::ScratchDir dir;
  Vidscriber w(false);
  w.SetVideo(7, 320, 240, 25);
  ASSERT_TRUE(w.Open((dir / "a.flv").c_str()));
  video(w, idrFrame(), 5000);
  ASSERT_TRUE(w.Close());
  bool clean = false;
  const auto tags = Tags(ReadFile(dir / "a.flv"), &clean);
  ASSERT_TRUE(clean);
  ASSERT_EQ(tags.size(), 3u);
  EXPECT_EQ(tags[0].type, 18);
  // Sequence header: key frame + AVC, packet type 0, then the record.
  ASSERT_GE(tags[1].body.size(), 11u);
  EXPECT_EQ(std::vector<uint8_t>(tags[1].body.begin(), tags[1].body.begin() + 5),
            (std::vector<uint8_t>{0x17, 0, 0, 0, 0}));
  EXPECT_EQ(tags[1].body[5], 1);  // configuration version
  const auto& frame = tags[2].body;
  EXPECT_EQ(frame[0], 0x17);
  EXPECT_EQ(frame[1], 1);
  std::vector<uint8_t> expected(frame.begin(), frame.begin() + 5);
  for (const auto* unit : {&kSps, &kPps, &kIdr}) {
    expected.insert(expected.end(), {0, 0, 0, static_cast<uint8_t>(unit->size())});
    expected.insert(expected.end(), unit->begin(), unit->end());
  }
  EXPECT_EQ(frame, expected);
}

TEST(RecordingAvc, SequenceHeaderOnlyWhenParameterSetsChange) {
  flvtest::ScratchDir dir;
  Vidscriber w(false);
  w.SetVideo(7, 320, 240, 25);
  ASSERT_TRUE(w.Open((dir / "a.flv").c_str()));
  StderrCapture log;
  video(w, idrFrame(), 1000);
  video(w, interFrame(), 1040);
  video(w, idrFrame(), 1080);  // same sets again: no new header
  std::vector<uint8_t> otherSps = kSps;
  otherSps.push_back(0x80);
  video(w, AnnexB({otherSps, kPps, kIdr}), 1120);
  w.Close();
  const auto tags = Tags(ReadFile(dir / "a.flv"));
  int headers = 0;
  for (const auto& tag : tags) headers += tag.type == 9 && tag.body[1] == 0;
  EXPECT_EQ(headers, 2);
  EXPECT_NE(log.text().find("sps change 10->11"), std::string::npos);
  // The key-frame flag comes from the IDR unit, not from the caller.
  EXPECT_EQ(tags.back().body[0], 0x17);
  EXPECT_EQ(tags[3].body[0], 0x27);
}

TEST(RecordingAvc, DropsFramesUntilParameterSetsArriveAndClampsCompositionTime) {
  flvtest::ScratchDir dir;
  Vidscriber w(false);
  w.SetVideo(7, 320, 240, 25);
  ASSERT_TRUE(w.Open((dir / "a.flv").c_str()));
  StderrCapture log;
  video(w, interFrame(), 1000);
  EXPECT_NE(log.text().find("*** unable to got sps and pps from x264 frame"), std::string::npos);
  video(w, idrFrame(), 1040, -80);
  video(w, interFrame(), 1080, 120);
  w.Close();
  const auto tags = Tags(ReadFile(dir / "a.flv"));
  ASSERT_EQ(tags.size(), 4u);  // metadata, sequence header, two frames
  EXPECT_EQ(flvtest::BE(&tags[2].body[2], 3), 0u);
  EXPECT_EQ(flvtest::BE(&tags[3].body[2], 3), 120u);
}

TEST(RecordingAvc, ManyShortStartCodesAndLargeParameterSetsFit) {
  flvtest::ScratchDir dir;
  Vidscriber w(true);
  w.SetVideo(7, 320, 240, 25);
  ASSERT_TRUE(w.Open((dir / "a.flv").c_str()));
  // A 300-byte SPS (scaling matrices make them long) would not fit a
  // fixed 100-byte configuration record.
  std::vector<uint8_t> bigSps = kSps;
  bigSps.resize(300, 0x55);
  std::vector<std::vector<uint8_t>> units = {bigSps, kPps};
  for (int i = 0; i < 200; ++i) units.push_back({0x65, static_cast<uint8_t>(0x80 | i)});
  video(w, AnnexB(units, false), 1000);
  w.Close();
  const auto tags = Tags(ReadFile(dir / "a.flv"));
  ASSERT_EQ(tags.size(), 3u);
  EXPECT_GT(tags[1].body.size(), 300u);
  // 202 units, each with a four-byte length, behind the five header bytes.
  EXPECT_EQ(tags[2].body.size(), 5u + 4 + 300 + 4 + 4 + 200 * (4 + 2));
}

TEST(RecordingTime, CallerClockMapsToFileTimeFromFirstNonZeroStamp) {
  flvtest::ScratchDir dir;
  Vidscriber w(false);
  w.SetVideo(7, 320, 240, 25);
  ASSERT_TRUE(w.Open((dir / "a.flv").c_str()));
  video(w, idrFrame(), 5000);
  video(w, interFrame(), 5040);
  video(w, interFrame(), 0);  // passed through, duration untouched
  video(w, interFrame(), 5080);
  w.Close();
  const auto file = ReadFile(dir / "a.flv");
  const auto tags = Tags(file);
  std::vector<uint32_t> times;
  for (const auto& tag : tags) times.push_back(tag.time);
  EXPECT_EQ(times, (std::vector<uint32_t>{0, 0, 0, 40, 0, 80}));
  EXPECT_DOUBLE_EQ(flvtest::MetaNumber(file, "duration"), 0.08);

  // Continuing the file: the same caller clock lands after the old end.
  Vidscriber more(false);
  ASSERT_TRUE(more.Open((dir / "a.flv").c_str(), FLVIO::ModeAppend));
  more.SetVideo(7, 320, 240, 25);
  video(more, idrFrame(), 5000);
  video(more, interFrame(), 5040);
  more.Close();
  const auto after = Tags(ReadFile(dir / "a.flv"));
  EXPECT_EQ(after.back().time, 120u);
  EXPECT_EQ(after[after.size() - 2].time, 80u);
}

// The audio encoder delivers first, but the first video frames lie earlier
// on the caller's clock (B-frames decode before they are shown): nothing
// wraps round, every stream goes strictly forward, and each picture is
// still shown when the caller said (time + composition time).
TEST(RecordingTime, FramesBeforeTheBaseStayInOrderAndOnTime) {
  flvtest::ScratchDir dir;
  Vidscriber w(false);
  w.SetVideo(7, 320, 240, 25);
  ASSERT_TRUE(w.Open((dir / "a.flv").c_str()));
  uint8_t raw[8] = {};
  w.WriteAudio(raw, sizeof raw, 1080);
  const int cts[4] = {80, 160, 40, 80};  // shown at 1080, 1200, 1120, 1200
  for (unsigned i = 0; i < 4; ++i) video(w, i == 0 ? idrFrame() : interFrame(), 1000 + 40 * i, cts[i]);
  ASSERT_TRUE(w.Close());
  std::vector<int64_t> times, shown;
  for (const auto& tag : Tags(ReadFile(dir / "a.flv"))) {
    if (tag.type != 9 || tag.body[1] != 1) continue;
    times.push_back(tag.time);
    shown.push_back(tag.time + flvtest::BE(&tag.body[2], 3));
  }
  EXPECT_EQ(times, (std::vector<int64_t>{0, 1, 2, 40}));
  EXPECT_EQ(shown, (std::vector<int64_t>{0, 120, 40, 120}));
}

TEST(RecordingAac, AdtsHeaderIsStrippedAndChangesTheConfiguration) {
  flvtest::ScratchDir dir;
  Vidscriber w(false);
  w.SetAudio(10, 44100, 2, 2);
  ASSERT_TRUE(w.Open((dir / "a.flv").c_str()));
  StderrCapture log;
  auto frame = adtsFrame(3, 1, 20);  // 48000 Hz, mono
  w.WriteAudio(frame.data(), static_cast<int>(frame.size()), 100);
  std::vector<uint8_t> crc = adtsFrame(3, 1, 20);
  crc[1] = 0xF0;  // with CRC: kept as it is
  w.WriteAudio(crc.data(), static_cast<int>(crc.size()), 123);
  std::vector<uint8_t> tiny = adtsFrame(3, 1, 0);  // header alone
  w.WriteAudio(tiny.data(), 7, 146);
  w.Close();
  EXPECT_NE(log.text().find("reset AAC param from atds header 44100x2 2 to 48000x1 2"), std::string::npos);
  const auto file = ReadFile(dir / "a.flv");
  const auto tags = Tags(file);
  ASSERT_EQ(tags.size(), 5u);
  // The configuration written first says 48000 Hz mono: 0x11 0x88.
  EXPECT_EQ(tags[1].body, (std::vector<uint8_t>{0xA2, 0x00, 0x11, 0x88}));
  EXPECT_EQ(tags[2].body.size(), 2u + 20);
  EXPECT_EQ(tags[3].body.size(), 2u + crc.size());
  EXPECT_EQ(tags[4].body.size(), 2u + 7);
  EXPECT_DOUBLE_EQ(flvtest::MetaNumber(file, "audiosamplerate"), 48000);
}

TEST(RecordingAac, FirstVideoFrameWritesThePendingAudioConfiguration) {
  flvtest::ScratchDir dir;
  Vidscriber w(false);
  w.SetVideo(7, 320, 240, 25);
  w.SetAudio(10, 44100, 2, 2);
  ASSERT_TRUE(w.Open((dir / "a.flv").c_str()));
  video(w, idrFrame(), 1000);
  w.Close();
  const auto tags = Tags(ReadFile(dir / "a.flv"));
  ASSERT_EQ(tags.size(), 4u);
  EXPECT_EQ(tags[1].type, 9);  // AVC sequence header
  EXPECT_EQ(tags[2].type, 8);  // AAC sequence header
  EXPECT_EQ(tags[2].body, (std::vector<uint8_t>{0xAF, 0x00, 0x12, 0x10}));
  EXPECT_EQ(tags[3].type, 9);
}

TEST(RecordingKeyframes, IndexPointsAtKeyFramesAfterTheMediaMoved) {
  flvtest::ScratchDir dir;
  Vidscriber w(true);
  w.SetVideo(7, 320, 240, 25);
  w.SetAudio(10, 44100, 2, 2);
  ASSERT_TRUE(w.Open((dir / "k.flv").c_str()));
  auto audio = adtsFrame(4, 2, 30);
  for (int i = 0; i < 12; ++i) {
    video(w, i % 4 == 0 ? idrFrame() : interFrame(), 1000 + i * 40);
    w.WriteAudio(audio.data(), static_cast<int>(audio.size()), 1000 + i * 40 + 5);
  }
  ASSERT_TRUE(w.Close());
  bool clean = false;
  const auto file = ReadFile(dir / "k.flv");
  const auto tags = Tags(file, &clean);
  ASSERT_TRUE(clean);
  const auto index = flvtest::IndexOf(file);
  ASSERT_EQ(index.size(), 3u);
  for (size_t i = 0; i < index.size(); ++i) {
    EXPECT_DOUBLE_EQ(index[i].first, 160.0 * i);
    const size_t at = static_cast<size_t>(index[i].second);
    ASSERT_LT(at + 11, file.size());
    EXPECT_EQ(file[at], 9);
    EXPECT_EQ(file[at + 11], 0x17);
  }
  EXPECT_EQ(flvtest::MetaNumber(file, "hasKeyframes"), -12345);  // only without the index
}

// The old onMetaData holds more index entries than the writer keeps (two
// pairs repeat a time), so the new tag is smaller and the media moves down.
TEST(RecordingKeyframes, SmallerMetadataMovesTheMediaDownAndCutsTheFile) {
  flvtest::ScratchDir dir;
  Vidscriber w(true);
  w.SetVideo(7, 320, 240, 25);
  ASSERT_TRUE(w.Open((dir / "k.flv").c_str()));
  for (int i = 0; i < 12; ++i) video(w, i % 4 == 0 ? idrFrame() : interFrame(), 1000 + i * 40);
  ASSERT_TRUE(w.Close());
  const auto original = ReadFile(dir / "k.flv");
  const auto tags = Tags(original);
  const auto index = flvtest::IndexOf(original);
  ASSERT_EQ(index.size(), 3u);

  Flash::MetaDataBody meta;
  ASSERT_TRUE(flvtest::DecodeMeta(tags[0], meta));
  Flash::AS_Value* keyframes = meta.entries.FindMember("keyframes")->Value();
  keyframes->SetMember("filepositions", std::make_unique<Flash::AS_Strict_Array>());
  keyframes->SetMember("times", std::make_unique<Flash::AS_Strict_Array>());
  const double grown = 2 * 18;
  for (size_t i : {0, 0, 1, 2, 2}) {
    keyframes->FindMember("times")->Value()->AddValue(
        std::make_unique<Flash::AS_Double>(index[i].first / 1000));
    keyframes->FindMember("filepositions")
        ->Value()
        ->AddValue(std::make_unique<Flash::AS_Double>(index[i].second + grown));
  }
  const std::vector<uint8_t> body = Flash::EncodeMetaData(meta);
  std::vector<uint8_t> crafted(original.begin(), original.begin() + 13);
  const uint32_t size = static_cast<uint32_t>(body.size());
  crafted.insert(crafted.end(), {18, static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 8),
                                 static_cast<uint8_t>(size), 0, 0, 0, 0, 0, 0, 0});
  crafted.insert(crafted.end(), body.begin(), body.end());
  const uint32_t tagSize = size + 11;
  crafted.insert(crafted.end(), {0, 0, static_cast<uint8_t>(tagSize >> 8), static_cast<uint8_t>(tagSize)});
  const size_t media = static_cast<size_t>(tags[1].offset);
  crafted.insert(crafted.end(), original.begin() + static_cast<long>(media), original.end());
  ASSERT_EQ(crafted.size(), original.size() + 36);
  flvtest::WriteFile(dir / "crafted.flv", crafted);

  Vidscriber again(true);
  ASSERT_TRUE(again.Open((dir / "crafted.flv").c_str(), FLVIO::ModeAppend));
  again.SetVideo(7, 320, 240, 25);
  ASSERT_TRUE(again.Close());
  bool clean = false;
  const auto rewritten = ReadFile(dir / "crafted.flv");
  const auto after = Tags(rewritten, &clean);
  EXPECT_TRUE(clean);
  EXPECT_EQ(rewritten.size(), original.size());
  ASSERT_EQ(after.size(), tags.size());
  for (size_t i = 1; i < tags.size(); ++i) EXPECT_EQ(after[i].body, tags[i].body);
  EXPECT_EQ(flvtest::IndexOf(rewritten), index);
}

TEST(RecordingLifecycle, GuardsAndSecondRecordingOnTheSameObject) {
  flvtest::ScratchDir dir;
  Vidscriber w(false);
  StderrCapture log;
  EXPECT_EQ(w.WriteVideo(nullptr, 0, 1, true, 0), 0);
  EXPECT_EQ(w.WriteTag(8, 0, nullptr, 0, nullptr, 0), -1);
  EXPECT_FALSE(w.Close());
  EXPECT_EQ(w.SetVideo(7, 320, 240, 25), 0);
  EXPECT_EQ(w.SetVideo(7, 640, 480, 25), -1);
  EXPECT_NE(log.text().find("warning already set, skip SetVideo"), std::string::npos);
  ASSERT_TRUE(w.Open((dir / "one.flv").c_str()));
  video(w, idrFrame(), 1000);
  w.Close();
  // Close reset the declaration; the next recording brings the same sets
  // and must still carry its own sequence header.
  w.SetVideo(7, 320, 240, 25);
  ASSERT_TRUE(w.Open((dir / "two.flv").c_str()));
  video(w, idrFrame(), 1000);
  w.Close();
  const auto tags = Tags(ReadFile(dir / "two.flv"));
  ASSERT_EQ(tags.size(), 3u);
  EXPECT_EQ(tags[1].body[1], 0);
}

TEST(RecordingLifecycle, CloseWritesNoMetadataIntoTinyOrReadOnlyFiles) {
  flvtest::ScratchDir dir;
  flvtest::WriteFile(dir / "nine.flv", {'F', 'L', 'V', 1, 0, 0, 0, 0, 9});
  {
    Vidscriber w(false);
    ASSERT_TRUE(w.Open((dir / "nine.flv").c_str(), FLVIO::ModeRead));
  }
  EXPECT_EQ(ReadFile(dir / "nine.flv").size(), 9u);
  Vidscriber w(false);
  w.SetVideo(7, 320, 240, 25);
  ASSERT_TRUE(w.Open((dir / "r.flv").c_str()));
  video(w, idrFrame(), 1000);
  w.Close();
  const auto before = ReadFile(dir / "r.flv");
  ASSERT_TRUE(w.Open((dir / "r.flv").c_str(), FLVIO::ModeRead));
  w.Close();
  EXPECT_EQ(ReadFile(dir / "r.flv"), before);
}

TEST(RecordingThreads, TwoWritersInterleaveWholeTags) {
  flvtest::ScratchDir dir;
  Vidscriber w(true);
  w.SetVideo(7, 320, 240, 25);
  w.SetAudio(10, 44100, 2, 2);
  ASSERT_TRUE(w.Open((dir / "t.flv").c_str()));
  std::thread videoThread([&w] {
    for (int i = 0; i < 400; ++i) video(w, i % 25 == 0 ? idrFrame() : interFrame(), 1000 + i * 40);
  });
  std::thread audioThread([&w] {
    auto frame = adtsFrame(4, 2, 100);
    for (int i = 0; i < 700; ++i) w.WriteAudio(frame.data(), static_cast<int>(frame.size()), 1000 + i * 23);
  });
  videoThread.join();
  audioThread.join();
  ASSERT_TRUE(w.Close());
  bool clean = false;
  const auto file = ReadFile(dir / "t.flv");
  const auto tags = Tags(file, &clean);
  ASSERT_TRUE(clean);
  int audioTags = 0, videoTags = 0;
  for (const auto& tag : tags) {
    audioTags += tag.type == 8 && tag.body[1] == 1;
    videoTags += tag.type == 9 && tag.body[1] == 1;
  }
  EXPECT_EQ(audioTags, 700);
  EXPECT_EQ(videoTags, 400);
  const auto index = flvtest::IndexOf(file);
  ASSERT_EQ(index.size(), 16u);
  for (const auto& entry : index) {
    const size_t at = static_cast<size_t>(entry.second);
    ASSERT_LT(at + 11, file.size());
    EXPECT_EQ(file[at], 9);
    EXPECT_EQ(file[at + 11], 0x17);
  }
}

}  // namespace

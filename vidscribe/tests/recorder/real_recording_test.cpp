// Recordings of ffmpeg-made streams, through the library from two threads
// and through the vidscribe tool, judged by ffprobe and ffmpeg: codecs,
// size and duration, streams that start together, error-free decoding,
// extraction back to the original units and frames, and key-frame indexes
// that land on key frames. Then the tool as users meet it: edits, and the
// mistakes and full disks that must never cost them a file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>

#include "annexb_units.h"
#include "composition_clock.h"
#include "elementary_streams.h"
#include "flv_file_view.h"
#include "media_fixtures.h"
#include "vidscribe/vidscribe.h"

namespace {

using flvtest::ReadFile;
using flvtest::Tags;

const std::string kMedia = RECORDINGS_DIR;
const std::string kTool = TOOL_PATH;

class Recordings : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string command = std::string(MAKE_RECORDINGS_SCRIPT) + " " + kMedia;
    ASSERT_EQ(std::system(command.c_str()), 0) << "making test media failed: " << command;
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Recordings);

struct Outcome {
  int status;
  std::string out;
};

// Runs a shell command; standard output (and error, with merge) captured.
Outcome run(const std::string& command, bool mergeErrors = true) {
  Outcome result{-1, {}};
  FILE* pipe = popen((command + (mergeErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) result.out.append(chunk, got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string probe(const std::string& path, const std::string& entries, const std::string& streams = "") {
  const std::string select = streams.empty() ? "" : " -select_streams " + streams;
  return run("ffprobe -v error" + select + " -show_entries " + entries + " -of default=nw=1 '" + path + "'",
             false)
      .out;
}

double probeDuration(const std::string& path) {
  return std::atof(
      run("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + path + "'", false).out.c_str());
}

constexpr double kOneFrame = 0.040;  // 25 fps

double startTime(const std::string& path, const char* stream) {
  return std::atof(run("ffprobe -v error -select_streams " + std::string(stream) +
                           " -show_entries stream=start_time -of csv=p=0 '" + path + "'",
                       false)
                       .out.c_str());
}

double firstStart(const std::string& path) {
  return std::min(startTime(path, "v"), startTime(path, "a"));
}

// The first picture and the first audio sample are presented together.
void expectStartTogether(const std::string& path) {
  EXPECT_NEAR(startTime(path, "v"), startTime(path, "a"), kOneFrame) << path;
}

// ffmpeg decodes every frame and says nothing at the error level.
void expectDecodes(const std::string& path) {
  const Outcome decode = run("ffmpeg -nostdin -v error -i '" + path + "' -f null -");
  EXPECT_EQ(decode.status, 0) << path;
  EXPECT_EQ(decode.out, "") << path;
}

std::vector<std::vector<uint8_t>> units(const std::vector<uint8_t>& stream) {
  return recordertest::AnnexBUnits(stream);
}

// Every index entry names the TagType byte of a video key frame.
void expectIndexOnKeyFrames(const std::string& path) {
  const auto file = ReadFile(path);
  const auto index = flvtest::IndexOf(file);
  ASSERT_FALSE(index.empty()) << path;
  int keyFrames = 0;
  for (const auto& tag : Tags(file)) keyFrames += tag.type == 9 && tag.body[0] == 0x17 && tag.body[1] == 1;
  EXPECT_EQ(static_cast<int>(index.size()), keyFrames);
  for (const auto& entry : index) {
    const size_t at = static_cast<size_t>(entry.second);
    ASSERT_LT(at + 12, file.size());
    EXPECT_EQ(file[at], 9);
    EXPECT_EQ(file[at + 11], 0x17);
    EXPECT_EQ(file[at + 12], 1);
    EXPECT_EQ(flvtest::BE(&file[at + 4], 3) | (uint32_t{file[at + 7]} << 24),
              static_cast<uint32_t>(std::lround(entry.first)));
  }
  // A player seeking through the index lands on key frames.
  Vidscriber reader(false);
  ASSERT_TRUE(reader.Open(path.c_str(), FLVIO::ModeRead));
  for (uint32_t t = 0; t < 4000; t += 370) {
    const int found = reader.SeekTag(t, 1);
    ASSERT_GE(found, 0);
    EXPECT_LE(static_cast<uint32_t>(found), t);
    FlvTag tag;
    ASSERT_TRUE(reader.ReadTag(tag));
    EXPECT_TRUE(tag.isKeyFrame()) << "seek to " << t;
    EXPECT_EQ(tag.GetTimeStamp(), static_cast<uint32_t>(found));
  }
}

// Two encoder threads, each on its own clock, not waiting for each other.
// The first picture is shown a display delay after its decode time; the
// audio starts then, as it did in the source.
void recordWithLibrary(const std::string& name, const std::string& out, bool keyframes) {
  vidscribe_tool::AnnexBFrameReader video;
  vidscribe_tool::AdtsFrameReader audio;
  ASSERT_TRUE(video.Open((kMedia + "/" + name + ".h264").c_str()));
  ASSERT_TRUE(audio.Open((kMedia + "/" + name + ".aac").c_str()));
  std::vector<uint8_t> firstAudio;
  vidscribe_tool::AdtsFormat format;
  ASSERT_TRUE(audio.Next(firstAudio, &format));
  Vidscriber writer(keyframes);
  writer.SetVideo(7, 320, 240, 25);
  writer.SetAudio(10, format.sampleRate, format.channels, format.profile);
  ASSERT_TRUE(writer.Open(out.c_str()));
  const int64_t delay = vidscribe_tool::LearnDisplayDelay((kMedia + "/" + name + ".h264").c_str(), 100);
  const unsigned audioStart =
      500 + static_cast<unsigned>(vidscribe_tool::CompositionClock(25, delay).FirstShownMs());
  std::thread videoThread([&] {
    vidscribe::PictureOrder order;
    vidscribe_tool::CompositionClock clock(25, delay);
    std::vector<uint8_t> frame;
    while (video.Next(frame)) {
      uint64_t decodeMs = 0;
      int cts = 0;
      clock.Next(order.Next(frame.data(), frame.size()), &decodeMs, &cts);
      writer.WriteVideo(frame.data(), static_cast<int>(frame.size()), 500 + static_cast<unsigned>(decodeMs),
                        false, cts);
    }
  });
  std::thread audioThread([&] {
    std::vector<uint8_t> frame = firstAudio;
    for (unsigned i = 0;; ++i) {
      writer.WriteAudio(frame.data(), static_cast<int>(frame.size()),
                        audioStart + i * 1024 * 1000 / static_cast<unsigned>(format.sampleRate));
      if (!audio.Next(frame, nullptr)) break;
    }
  });
  videoThread.join();
  audioThread.join();
  ASSERT_TRUE(writer.Close());
}

struct Case {
  const char* name;
  int sampleRate;
  int channels;
  bool keyframes;
  bool throughTool;
};

std::string caseName(const Case& c) {
  return std::string(c.name) + (c.keyframes ? "_indexed" : "_plain") + (c.throughTool ? "_tool" : "_library");
}
void PrintTo(const Case& c, std::ostream* out) {
  *out << caseName(c);
}

class RealRecording : public ::testing::TestWithParam<Case> {};

TEST_P(RealRecording, PlaysExtractsAndIndexes) {
  const Case c = GetParam();
  flvtest::ScratchDir dir;
  const std::string out = dir / "out.flv";
  const std::string base = kMedia + "/" + c.name;
  if (c.throughTool) {
    const Outcome record = run("'" + kTool + "' record --h264 '" + base + ".h264' --aac '" + base + ".aac'" +
                               (c.keyframes ? " --keyframes '" : " '") + out + "'");
    ASSERT_EQ(record.status, 0) << record.out;
    EXPECT_EQ(record.out, "");
  } else {
    recordWithLibrary(c.name, out, c.keyframes);
  }
  // Stream order follows whichever thread wrote first.
  EXPECT_EQ(probe(out, "stream=codec_name,width,height", "v"), "codec_name=h264\nwidth=320\nheight=240\n");
  EXPECT_EQ(probe(out, "stream=codec_name,sample_rate,channels", "a"),
            "codec_name=aac\nsample_rate=" + std::to_string(c.sampleRate) +
                "\nchannels=" + std::to_string(c.channels) + "\n");
  // Which encoder thread delivers first may move the whole timeline by the
  // display delay; what is recorded spans as long as the reference.
  EXPECT_NEAR(probeDuration(out) - firstStart(out), probeDuration(base + ".flv") - firstStart(base + ".flv"),
              kOneFrame);
  expectStartTogether(out);
  expectDecodes(out);
  const std::string frames =
      "ffprobe -v error -select_streams v -count_frames -show_entries "
      "stream=nb_read_frames -of csv=p=0 ";
  EXPECT_EQ(run(frames + "'" + out + "'", false).out, run(frames + "'" + base + ".flv'", false).out);

  const Outcome extract = run("'" + kTool + "' extract '" + out + "' --h264 '" + (dir / "x.h264") +
                              "' --aac '" + (dir / "x.aac") + "'");
  ASSERT_EQ(extract.status, 0) << extract.out;
  EXPECT_TRUE(units(ReadFile(dir / "x.h264")) == units(ReadFile(base + ".h264")));
  EXPECT_TRUE(ReadFile(dir / "x.aac") == ReadFile(base + ".aac"));

  if (c.keyframes) {
    expectIndexOnKeyFrames(out);
  } else {
    EXPECT_TRUE(flvtest::IndexOf(ReadFile(out)).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Streams, RealRecording,
                         ::testing::Values(Case{"stereo44", 44100, 2, true, false},
                                           Case{"stereo44", 44100, 2, false, true},
                                           Case{"mono48", 48000, 1, false, false},
                                           Case{"mono48", 48000, 1, true, true}),
                         [](const ::testing::TestParamInfo<Case>& info) { return caseName(info.param); });

// The picture size a container states for its video track, from the
// track header of an MP4 file (the audio track's says 0x0).
std::pair<uint32_t, uint32_t> trackHeaderSize(const std::vector<uint8_t>& file) {
  std::pair<uint32_t, uint32_t> size{0, 0};
  const std::string bytes(file.begin(), file.end());
  for (size_t at = bytes.find("tkhd"); at != std::string::npos; at = bytes.find("tkhd", at + 4)) {
    // Version 1 has 64-bit times and duration; then reserved, layer,
    // group, volume, reserved and the matrix come before the size.
    const size_t fields = at + 8 + (file[at + 4] == 1 ? 32 : 20) + 52;
    if (fields + 8 > file.size()) break;
    const uint32_t width = flvtest::BE(&file[fields], 4) >> 16;
    if (width > size.first) size = {width, flvtest::BE(&file[fields + 4], 4) >> 16};
  }
  return size;
}

// With and without B-frames, into FLV and MP4: the streams start together
// and every frame plays. The 640x360 stream is coded as 368 lines; the
// containers state the shown size.
TEST(RealSync, ToolRecordingsStartTogetherAndStateTheShownSize) {
  flvtest::ScratchDir dir;
  const std::string frames =
      "ffprobe -v error -select_streams v -count_frames -show_entries stream=nb_read_frames -of csv=p=0 ";
  for (const std::string name : {"stereo44", "nobf"}) {
    const std::string base = kMedia + "/" + name;
    for (const std::string extension : {".flv", ".mp4"}) {
      SCOPED_TRACE(name + extension);
      const std::string out = dir / (name + extension);
      const Outcome record =
          run("'" + kTool + "' record --h264 '" + base + ".h264' --aac '" + base + ".aac' '" + out + "'");
      ASSERT_EQ(record.status, 0) << record.out;
      expectStartTogether(out);
      expectDecodes(out);
      EXPECT_EQ(run(frames + "'" + out + "'", false).out, run(frames + "'" + base + ".flv'", false).out);
    }
  }
  EXPECT_DOUBLE_EQ(flvtest::MetaNumber(ReadFile(dir / "nobf.flv"), "width"), 640);
  EXPECT_DOUBLE_EQ(flvtest::MetaNumber(ReadFile(dir / "nobf.flv"), "height"), 360);
  EXPECT_EQ(trackHeaderSize(ReadFile(dir / "nobf.mp4")), std::make_pair(640u, 360u));
}

TEST(RealEditing, AppendPadAndContinueAfterATwelveSecondRecording) {
  flvtest::ScratchDir dir;
  const std::string base = kMedia + "/twelve";
  const std::string rec = dir / "rec.flv";
  ASSERT_EQ(run("'" + kTool + "' record --h264 '" + base + ".h264' --aac '" + base + ".aac' --keyframes '" +
                rec + "'")
                .status,
            0);
  const double oldDuration = flvtest::MetaNumber(ReadFile(rec), "duration");
  ASSERT_NEAR(oldDuration, 12.0, 0.1);
  const uint32_t oldMs = static_cast<uint32_t>(std::lround(oldDuration * 1000));

  // Live recording continued: the first new frame is stamped at the old end.
  const std::string live = dir / "live.flv";
  ASSERT_EQ(run("cp '" + rec + "' '" + live + "'").status, 0);
  {
    Vidscriber writer(true);
    ASSERT_TRUE(writer.Open(live.c_str(), FLVIO::ModeAppend));
    writer.SetVideo(7, 320, 240, 25);
    vidscribe_tool::AnnexBFrameReader video;
    ASSERT_TRUE(video.Open((kMedia + "/stereo44.h264").c_str()));
    std::vector<uint8_t> frame;
    vidscribe::PictureOrder order;
    vidscribe_tool::CompositionClock clock(25, 2);
    for (unsigned i = 0; i < 50 && video.Next(frame); ++i) {
      uint64_t decodeMs = 0;
      int cts = 0;
      clock.Next(order.Next(frame.data(), frame.size()), &decodeMs, &cts);
      writer.WriteVideo(frame.data(), static_cast<int>(frame.size()), 90000 + static_cast<unsigned>(decodeMs),
                        false, cts);
    }
    writer.Close();
  }
  const auto tags = Tags(ReadFile(live));
  size_t firstNew = 0;
  for (size_t i = 0; i < tags.size(); ++i)
    if (tags[i].type == 9 && tags[i].time >= oldMs && tags[i].body[1] == 0) firstNew = i;
  ASSERT_GT(firstNew, 0u);
  EXPECT_EQ(tags[firstNew].time, oldMs);
  EXPECT_EQ(tags.back().time, oldMs + 49 * 40);
  expectIndexOnKeyFrames(live);
  expectDecodes(live);

  // Another file appended after a gap, then silence padded on.
  const std::string joined = dir / "joined.flv";
  ASSERT_EQ(run("cp '" + rec + "' '" + joined + "'").status, 0);
  const Outcome append =
      run("'" + kTool + "' append '" + joined + "' '" + kMedia + "/stereo44.flv' --offset 200");
  ASSERT_EQ(append.status, 0) << append.out;
  EXPECT_NEAR(probeDuration(joined), oldDuration + 0.2 + probeDuration(kMedia + "/stereo44.flv"), 0.15);
  EXPECT_EQ(probe(joined, "stream=codec_name"), "codec_name=h264\ncodec_name=aac\n");
  expectDecodes(joined);
  expectIndexOnKeyFrames(joined);
  EXPECT_DOUBLE_EQ(flvtest::MetaNumber(ReadFile(joined), "videocodecid"), 7);
  EXPECT_DOUBLE_EQ(flvtest::MetaNumber(ReadFile(joined), "audiosamplerate"), 44100);

  const Outcome pad = run("'" + kTool + "' pad '" + joined + "' 1000");
  ASSERT_EQ(pad.status, 0) << pad.out;
  EXPECT_EQ(pad.out, "989\n");
  expectDecodes(joined);
  expectIndexOnKeyFrames(joined);
}

// Time of the last (or first after skip tags) shown frame of a stream: video
// pictures and audio frames with data, not sequence headers or mute frames.
uint32_t mediaTime(const std::vector<flvtest::Tag>& tags, uint8_t type, size_t skip, bool last) {
  uint32_t found = 0;
  for (size_t i = skip; i < tags.size(); ++i) {
    const auto& tag = tags[i];
    if (tag.type != type || tag.body.size() < 3 || tag.body[1] != 1) continue;
    found = tag.time;
    if (!last) break;
  }
  return found;
}

// Appending a file with B-frames to another: each stream goes on strictly
// after its own last frame, so ffmpeg sees no time stamp step back; a
// negative offset is a gap of that length filled with silence.
TEST(RealEditing, AppendedStreamsContinueAfterTheirLastFrames) {
  flvtest::ScratchDir dir;
  const std::string base = kMedia + "/twelve";
  const std::string rec = dir / "rec.flv";
  ASSERT_EQ(
      run("'" + kTool + "' record --h264 '" + base + ".h264' --aac '" + base + ".aac' '" + rec + "'").status,
      0);
  const auto old = Tags(ReadFile(rec));
  const uint32_t lastVideo = mediaTime(old, 9, 0, true), lastAudio = mediaTime(old, 8, 0, true);
  for (const std::string offset : {"", " --offset -500"}) {
    SCOPED_TRACE(offset);
    const std::string joined = dir / "joined.flv";
    ASSERT_EQ(run("cp '" + rec + "' '" + joined + "'").status, 0);
    const Outcome append =
        run("'" + kTool + "' append '" + joined + "' '" + kMedia + "/stereo44.flv'" + offset);
    ASSERT_EQ(append.status, 0) << append.out;
    expectDecodes(joined);
    const auto tags = Tags(ReadFile(joined));
    const uint32_t firstVideo = mediaTime(tags, 9, old.size(), false);
    EXPECT_GT(firstVideo, lastVideo);
    EXPECT_GT(mediaTime(tags, 8, old.size(), false), lastAudio);
    if (offset.empty()) {
      EXPECT_LE(firstVideo, lastVideo + 4 * 40);
    } else {
      EXPECT_GE(firstVideo, lastVideo + 500);
      EXPECT_LE(firstVideo, lastVideo + 500 + 4 * 40);
    }
  }
}

TEST(RealEditing, IndexOfAnFfmpegFileKeepsEveryMediaTag) {
  flvtest::ScratchDir dir;
  const std::string src = kMedia + "/twelve.flv";
  const std::string dst = dir / "indexed.flv";
  const Outcome index = run("'" + kTool + "' index '" + src + "' '" + dst + "'");
  ASSERT_EQ(index.status, 0) << index.out;
  bool clean = false;
  const auto before = Tags(ReadFile(src));
  const auto after = Tags(ReadFile(dst), &clean);
  EXPECT_TRUE(clean);
  ASSERT_EQ(before.size(), after.size());
  for (size_t i = 1; i < before.size(); ++i) {
    EXPECT_EQ(before[i].type, after[i].type);
    EXPECT_EQ(before[i].time, after[i].time);
    EXPECT_TRUE(before[i].body == after[i].body) << "tag " << i;
  }
  expectIndexOnKeyFrames(dst);
  expectDecodes(dst);
  // A second index without --force is refused, and leaves nothing behind.
  const Outcome again = run("'" + kTool + "' index '" + dst + "' '" + (dir / "again.flv") + "'");
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(std::count(again.out.begin(), again.out.end(), '\n'), 1);
  EXPECT_FALSE(std::ifstream(dir / "again.flv").good());
}

TEST(RealTool, HelpAndOneLineFailures) {
  for (const char* command : {"record", "info", "seek", "extract", "append", "pad", "index"}) {
    const Outcome help = run("'" + kTool + "' " + command + " --help");
    EXPECT_EQ(help.status, 0) << command;
    EXPECT_NE(help.out.find(std::string("usage: vidscribe ") + command), std::string::npos);
  }
  flvtest::ScratchDir dir;
  const std::string out = dir / "out.flv";
  for (const std::string& args :
       {"record --h264 /nonexistent.h264 '" + out + "'",
        "record --h264 '" + kMedia + "/twelve.aac' '" + out + "'", std::string("info /nonexistent.flv"),
        "seek '" + kMedia + "/twelve.flv' soon", "extract '" + kMedia + "/twelve.h264' --h264 '" + out + "'",
        "pad '" + kMedia + "/twelve.h264' 100", std::string("frobnicate")}) {
    const Outcome failed = run("'" + kTool + "' " + args);
    EXPECT_EQ(failed.status, 1) << args;
    EXPECT_EQ(std::count(failed.out.begin(), failed.out.end(), '\n'), 1) << args << ": " << failed.out;
    EXPECT_FALSE(std::ifstream(out).good()) << args;
  }
  const Outcome info = run("'" + kTool + "' info '" + kMedia + "/twelve.flv'");
  EXPECT_EQ(info.status, 0);
  EXPECT_NE(info.out.find("video: codec 7, 320x240"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("audio: codec 10, 44100 Hz, 2 channels"), std::string::npos) << info.out;
  const Outcome seek = run("'" + kTool + "' seek '" + kMedia + "/twelve.flv' 5000 --key");
  EXPECT_EQ(seek.status, 0);
  EXPECT_EQ(seek.out, "4000\n");
}

bool exists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

// A copy of a recording with one fault in its onMetaData DataSize.
void damageMetaDataSize(const std::string& from, const std::string& to, bool allOnes) {
  auto bytes = ReadFile(from);
  ASSERT_EQ(bytes[13], 18);
  if (allOnes) {
    bytes[14] = bytes[15] = bytes[16] = 0xFF;
  } else {
    bytes[16] ^= 0x04;
  }
  flvtest::WriteFile(to, bytes);
}

struct Mistake {
  std::string args;
  std::vector<std::string> inputs;  // must come out unchanged
  std::vector<std::string> absent;  // must not exist afterwards
};

// Output names that are inputs (also through the .part name the tool
// writes), an output named twice, a file appended to itself, and edits of
// files whose onMetaData size is damaged: each is refused with one line and
// touches nothing.
TEST(RealTool, MistakesNeverCostAFile) {
  flvtest::ScratchDir dir;
  const std::string media = kMedia + "/stereo44";
  ASSERT_EQ(run("'" + kTool + "' record --h264 '" + media + ".h264' --aac '" + media + ".aac' '" +
                (dir / "ours.flv") + "' && '" + kTool + "' record --h264 '" + media + ".h264' '" +
                (dir / "G.mp4") + "' && cp '" + media + ".flv' '" + (dir / "F.flv") + "' && cp '" + media +
                ".flv' '" + (dir / "X.part") + "' && cp '" + media + ".h264' '" + (dir / "H.part") +
                "' && cp '" + media + ".h264' '" + (dir / "in.h264") + "'")
                .status,
            0);
  damageMetaDataSize(dir / "ours.flv", dir / "flipped.flv", false);
  damageMetaDataSize(dir / "ours.flv", dir / "ones.flv", true);
  const std::string F = dir / "F.flv", G = dir / "G.mp4", S = dir / "S";
  const std::vector<Mistake> mistakes = {
      {"extract '" + F + "' --h264 '" + F + "'", {F}, {}},
      {"extract '" + F + "' --h264 '" + (dir / "x.h264") + "' --aac '" + F + "'", {F}, {dir / "x.h264"}},
      {"extract '" + G + "' --h264 '" + G + "'", {G}, {}},
      {"extract '" + F + "' --h264 '" + S + "' --aac '" + S + "'", {F}, {S, S + ".part"}},
      {"index '" + (dir / "X.part") + "' '" + (dir / "X") + "'", {dir / "X.part"}, {dir / "X"}},
      {"record --h264 '" + (dir / "H.part") + "' '" + (dir / "H") + "'", {dir / "H.part"}, {dir / "H"}},
      {"record --h264 '" + (dir / "in.h264") + "' '" + (dir / "in.h264") + "'", {dir / "in.h264"}, {}},
      {"append '" + F + "' '" + F + "'", {F}, {}},
      {"pad '" + (dir / "flipped.flv") + "' 1000", {dir / "flipped.flv"}, {}},
      {"append '" + (dir / "flipped.flv") + "' '" + F + "'", {dir / "flipped.flv"}, {}},
      {"pad '" + (dir / "ones.flv") + "' 1000", {dir / "ones.flv"}, {}},
      {"append '" + (dir / "ones.flv") + "' '" + F + "'", {dir / "ones.flv"}, {}},
  };
  for (const Mistake& mistake : mistakes) {
    SCOPED_TRACE(mistake.args);
    std::vector<std::vector<uint8_t>> before;
    for (const std::string& input : mistake.inputs) before.push_back(ReadFile(input));
    const Outcome outcome = run("timeout 60 '" + kTool + "' " + mistake.args);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(std::count(outcome.out.begin(), outcome.out.end(), '\n'), 1) << outcome.out;
    for (size_t i = 0; i < mistake.inputs.size(); ++i)
      EXPECT_TRUE(ReadFile(mistake.inputs[i]) == before[i]) << mistake.inputs[i] << " changed";
    for (const std::string& path : mistake.absent) EXPECT_FALSE(exists(path)) << path;
  }
}

// A full disk: the recording fails and leaves nothing that looks finished;
// edits fail and leave the file as it was.
TEST(RealTool, FullDiskFailsAndLeavesFilesAsTheyWere) {
  flvtest::ScratchDir dir;
  mp4test::TinyDisk disk(dir / "tiny", "256k");
  if (!disk.mounted) GTEST_SKIP() << "needs root to mount a small tmpfs";
  const std::string base = kMedia + "/twelve";
  for (const std::string name : {"r.flv", "r.mp4"}) {
    const std::string out = disk.path + "/" + name;
    const Outcome record =
        run("'" + kTool + "' record --h264 '" + base + ".h264' --aac '" + base + ".aac' '" + out + "'");
    EXPECT_EQ(record.status, 1) << name;
    EXPECT_EQ(std::count(record.out.begin(), record.out.end(), '\n'), 1) << record.out;
    EXPECT_FALSE(exists(out)) << name;
    EXPECT_FALSE(exists(out + ".part")) << name;
  }
  const std::string edited = disk.path + "/p.flv";
  const std::string media = kMedia + "/stereo44";
  ASSERT_EQ(
      run("'" + kTool + "' record --h264 '" + media + ".h264' --aac '" + media + ".aac' '" + edited + "'")
          .status,
      0);
  run("head -c 1M /dev/zero > '" + disk.path + "/fill'");
  const auto before = ReadFile(edited);
  for (const std::string& args :
       {"pad '" + edited + "' 5000", "append '" + edited + "' '" + base + ".flv'"}) {
    const Outcome edit = run("'" + kTool + "' " + args);
    EXPECT_EQ(edit.status, 1) << args;
    EXPECT_EQ(std::count(edit.out.begin(), edit.out.end(), '\n'), 1) << edit.out;
    EXPECT_TRUE(ReadFile(edited) == before) << args;
  }
}

}  // namespace

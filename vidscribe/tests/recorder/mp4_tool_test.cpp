// The vidscribe tool with MP4 files: recordings of ffmpeg-made streams judged
// by ffprobe and ffmpeg, extraction back to the original units and frames
// (from our own files and from ffmpeg's, which keep the parameter sets only
// in the track's configuration), info on ffmpeg's files, and failures that
// leave nothing behind that looks complete.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>
#include "annexb_units.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kMedia = RECORDINGS_DIR;
const std::string kTool = TOOL_PATH;
// One folder per test process, so tests run in parallel never share files.
const std::string kWork = RECORDINGS_DIR "/mp4tool." + std::to_string(getpid());

struct Outcome {
  int status;
  std::string out;
};

Outcome run(const std::string& command) {
  Outcome result{-1, {}};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  for (size_t got; (got = fread(chunk, 1, sizeof chunk, pipe)) > 0;) result.out.append(chunk, got);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool exists(const std::string& path) {
  return std::ifstream(path).good();
}

class Mp4Media : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string command = std::string(MAKE_RECORDINGS_SCRIPT) + " " + kMedia;
    ASSERT_EQ(std::system(command.c_str()), 0) << "making test media failed: " << command;
    ASSERT_EQ(std::system(("rm -rf '" + kWork + "' && mkdir -p '" + kWork + "'").c_str()), 0);
    // ffmpeg's own MP4 of the same streams: parameter sets only in avcC.
    const std::string copy = "ffmpeg -nostdin -hide_banner -loglevel error -y -i '" + kMedia +
                             "/stereo44.flv' -c copy '" + kWork + "/ffmpeg.mp4'";
    ASSERT_EQ(std::system(copy.c_str()), 0) << copy;
  }
  void TearDown() override { std::system(("rm -rf '" + kWork + "'").c_str()); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Mp4Media);

// The SPS and PPS units of a stream (sets), or every other unit.
std::vector<std::vector<uint8_t>> pick(const std::vector<std::vector<uint8_t>>& list, bool sets) {
  std::vector<std::vector<uint8_t>> kept;
  for (const auto& unit : list) {
    const bool isSet = !unit.empty() && ((unit[0] & 0x1F) == 7 || (unit[0] & 0x1F) == 8);
    if (isSet == sets) kept.push_back(unit);
  }
  return kept;
}

std::vector<std::vector<uint8_t>> units(const std::vector<uint8_t>& stream) {
  return recordertest::AnnexBUnits(stream);
}

// Every unit after a four-byte start code; an SPS and a PPS before the
// first slice.
void expectFourByteStartCodes(const std::vector<uint8_t>& stream) {
  ASSERT_GE(stream.size(), 5u);
  EXPECT_EQ((std::vector<uint8_t>{stream.begin(), stream.begin() + 4}), (std::vector<uint8_t>{0, 0, 0, 1}));
  bool sps = false, pps = false;
  for (const auto& unit : units(stream)) {
    const int type = unit.empty() ? 0 : unit[0] & 0x1F;
    if (type == 1 || type == 5) break;
    sps = sps || type == 7;
    pps = pps || type == 8;
  }
  EXPECT_TRUE(sps && pps);
  size_t three = 0, four = 0;
  for (size_t i = 0; i + 3 < stream.size(); ++i) {
    if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1)
      (i > 0 && stream[i - 1] == 0) ? ++four : ++three;
  }
  EXPECT_EQ(three, 0u);
  EXPECT_GT(four, 0u);
}

std::string probe(const std::string& path, const std::string& entries) {
  return run("ffprobe -v error -show_entries " + entries + " -of default=nw=1 '" + path + "' 2>/dev/null")
      .out;
}

TEST(Mp4Tool, RecordsStreamsThatFfmpegDecodesAndExtractsThemBack) {
  const std::string out = kWork + "/stereo44.mp4";
  const Outcome record = run("'" + kTool + "' record --h264 '" + kMedia + "/stereo44.h264' --aac '" + kMedia +
                             "/stereo44.aac' '" + out + "'");
  ASSERT_EQ(record.status, 0) << record.out;
  EXPECT_FALSE(exists(out + ".part"));
  const std::string streams = probe(out, "stream=codec_name,width,height");
  EXPECT_NE(streams.find("codec_name=h264\nwidth=320\nheight=240"), std::string::npos) << streams;
  EXPECT_NE(streams.find("codec_name=aac"), std::string::npos) << streams;
  const double duration = std::atof(probe(out, "format=duration").substr(9).c_str());
  EXPECT_NEAR(duration, 4.0, 0.1);
  const Outcome decode = run("ffmpeg -nostdin -v error -i '" + out + "' -f null -");
  EXPECT_EQ(decode.status, 0);
  EXPECT_EQ(decode.out, "");

  const Outcome extract = run("'" + kTool + "' extract '" + out + "' --h264 '" + kWork +
                              "/back.h264' --aac '" + kWork + "/back.aac'");
  ASSERT_EQ(extract.status, 0) << extract.out;
  const auto back = readFile(kWork + "/back.h264");
  expectFourByteStartCodes(back);
  EXPECT_TRUE(units(back) == units(readFile(kMedia + "/stereo44.h264")));
  EXPECT_TRUE(readFile(kWork + "/back.aac") == readFile(kMedia + "/stereo44.aac"));
}

TEST(Mp4Tool, ReadsFfmpegMadeFiles) {
  const std::string file = kWork + "/ffmpeg.mp4";
  const Outcome info = run("'" + kTool + "' info '" + file + "'");
  ASSERT_EQ(info.status, 0) << info.out;
  EXPECT_NE(info.out.find("format: MP4"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("size: " + std::to_string(readFile(file).size()) + " bytes"), std::string::npos)
      << info.out;
  const size_t at = info.out.find("duration: ");
  ASSERT_NE(at, std::string::npos) << info.out;
  EXPECT_NEAR(std::atoi(info.out.c_str() + at + 10), 4000, 100) << info.out;
  EXPECT_NE(info.out.find("avc1, 100 samples"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("320x240, 25 fps, 2 key frames"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("AAC profile 2, 44100 Hz, 2 channels"), std::string::npos) << info.out;

  // ffmpeg keeps SPS and PPS out of the samples; extract puts them back
  // ahead of the first frame.
  const Outcome extract = run("'" + kTool + "' extract '" + file + "' --h264 '" + kWork +
                              "/ff.h264' --aac '" + kWork + "/ff.aac'");
  ASSERT_EQ(extract.status, 0) << extract.out;
  const auto back = readFile(kWork + "/ff.h264");
  expectFourByteStartCodes(back);
  const auto original = units(readFile(kMedia + "/stereo44.h264"));
  EXPECT_TRUE(pick(units(back), false) == pick(original, false));
  const auto sets = pick(units(back), true);
  ASSERT_EQ(sets.size(), 2u);
  EXPECT_TRUE(sets[0] == pick(original, true)[0]);
  EXPECT_TRUE(sets[1] == pick(original, true)[1]);
  EXPECT_TRUE(readFile(kWork + "/ff.aac") == readFile(kMedia + "/stereo44.aac"));
}

TEST(Mp4Tool, FailuresGiveOneLineAndLeaveNoOutput) {
  // Video only: the file has no audio track to extract.
  const std::string videoOnly = kWork + "/video.mp4";
  ASSERT_EQ(run("'" + kTool + "' record --h264 '" + kMedia + "/mono48.h264' '" + videoOnly + "'").status, 0);
  EXPECT_EQ(probe(videoOnly, "stream=codec_name"), "codec_name=h264\n");
  Outcome noAudio = run("'" + kTool + "' extract '" + videoOnly + "' --h264 '" + kWork + "/v.h264' --aac '" +
                        kWork + "/v.aac'");
  EXPECT_EQ(noAudio.status, 1);
  EXPECT_EQ(std::count(noAudio.out.begin(), noAudio.out.end(), '\n'), 1) << noAudio.out;
  EXPECT_FALSE(exists(kWork + "/v.h264"));
  EXPECT_FALSE(exists(kWork + "/v.aac"));

  // A recording cut short loses its movie box: no reader takes it.
  const auto whole = readFile(kWork + "/ffmpeg.mp4");
  {
    std::ofstream cut(kWork + "/cut.mp4", std::ios::binary);
    cut.write(reinterpret_cast<const char*>(whole.data()), static_cast<std::streamsize>(whole.size() / 2));
  }
  for (const std::string& command :
       {"info '" + kWork + "/cut.mp4'", "extract '" + kWork + "/cut.mp4' --h264 '" + kWork + "/c.h264'"}) {
    const Outcome failed = run("'" + kTool + "' " + command);
    EXPECT_EQ(failed.status, 1) << command;
    EXPECT_EQ(std::count(failed.out.begin(), failed.out.end(), '\n'), 1) << failed.out;
  }
  EXPECT_FALSE(exists(kWork + "/c.h264"));

  // No SPS anywhere: nothing is recorded, not even a partial file.
  {
    std::ofstream junk(kWork + "/junk.h264", std::ios::binary);
    junk.write("\0\0\0\1\x41\x9a\x00\x10", 8);
  }
  const Outcome noFrames =
      run("'" + kTool + "' record --h264 '" + kWork + "/junk.h264' '" + kWork + "/j.mp4'");
  EXPECT_EQ(noFrames.status, 1);
  EXPECT_FALSE(exists(kWork + "/j.mp4"));
  EXPECT_FALSE(exists(kWork + "/j.mp4.part"));
}

}  // namespace

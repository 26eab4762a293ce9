// The bitstream helpers, the tag walker and the AMF0 model against files
// ffmpeg made (tests/media/make_media.sh), with ffprobe as the reference.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "amf/amf0_metadata.h"
#include "bitstream/aac_config.h"
#include "bitstream/annexb.h"
#include "bitstream/sps_parser.h"
#include "bitstream/stream_params.h"
#include "vidscribe/vidscribe.h"

namespace vidscribe {
namespace {

const std::string kMedia = MEDIA_DIR;

class MediaFiles : public ::testing::Environment {
 public:
  void SetUp() override {
    const std::string command = std::string(MAKE_MEDIA_SCRIPT) + " " + kMedia;
    ASSERT_EQ(std::system(command.c_str()), 0) << "making test media failed: " << command;
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new MediaFiles);

std::vector<uint8_t> readBytes(const std::string& name) {
  std::ifstream in(kMedia + "/" + name, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// "a,b" as ffprobe prints two entries.
std::pair<int, int> probePair(const std::string& name) {
  std::ifstream in(kMedia + "/" + name);
  int a = 0, b = 0;
  char comma = 0;
  in >> a >> comma >> b;
  return {a, b};
}

std::vector<std::vector<uint8_t>> units(const std::vector<uint8_t>& annexB) {
  std::vector<uint8_t> converted(AnnexBMaxOutput(annexB.size()));
  size_t length = 0;
  EXPECT_TRUE(
      AnnexBToLengthPrefixed(annexB.data(), annexB.size(), converted.data(), converted.size(), &length));
  std::vector<std::vector<uint8_t>> all;
  ForEachLengthPrefixedUnit(converted.data(), length,
                            [&](const uint8_t* unit, size_t size) { all.emplace_back(unit, unit + size); });
  return all;
}

StreamParams firstParameterSets(const std::string& name) {
  StreamParams params;
  for (const auto& unit : units(readBytes(name))) {
    const int type = unit.empty() ? 0 : unit[0] & 0x1F;
    if (type == 7 && params.sps.empty()) params.sps = unit;
    if (type == 8 && params.pps.empty()) params.pps = unit;
  }
  return params;
}

// Every tag of an FLV file: slot, type and body, walked forward.
struct WalkedTag {
  uint64_t slot;
  uint8_t type;
  uint32_t time;
  std::vector<uint8_t> body;
};

std::vector<WalkedTag> walkForward(FLVIO& io) {
  std::vector<WalkedTag> tags;
  FlvTag tag;
  if (io.Seek(9, 0) != 9 || !tag.ReadHdr(io, 0)) return tags;
  do {
    if (tag.GetDataSize() > 0 && !tag.ReadBody(io, 0)) break;
    tags.push_back({tag.TagPos(io), tag.GetType(), tag.GetTimeStamp(),
                    std::vector<uint8_t>(tag.GetData(), tag.GetData() + tag.GetDataSize())});
  } while (tag.Next(io));
  return tags;
}

std::vector<WalkedTag> openAndWalk(const std::string& name) {
  FLVIO io;
  EXPECT_TRUE(io.Open((kMedia + "/" + name).c_str(), FLVIO::ModeRead));
  return walkForward(io);
}

// The shown size, as ffprobe reports it: 640x360 and 1920x1080 are coded
// as 368 and 1088 lines and cropped.
TEST(RealH264, SpsSizeMatchesFfprobe) {
  for (const char* stream : {"h264_640x360", "h264_1920x1080", "h264_1280x720_cqm"}) {
    SCOPED_TRACE(stream);
    const StreamParams params = firstParameterSets(std::string(stream) + ".h264");
    ASSERT_FALSE(params.sps.empty());
    int width = 0, height = 0;
    ASSERT_TRUE(ParseSpsSize(params.sps.data(), params.sps.size(), &width, &height));
    const auto probed = probePair(std::string(stream) + ".probe");
    EXPECT_EQ(width, probed.first);
    EXPECT_EQ(height, probed.second);
  }
}

TEST(RealH264, ConversionKeepsEveryPictureUnit) {
  for (const char* stream : {"h264_640x360", "h264_1920x1080"}) {
    SCOPED_TRACE(stream);
    const std::vector<uint8_t> input = readBytes(std::string(stream) + ".h264");
    int slices = 0;
    size_t payload = 0, count = 0;
    for (const auto& unit : units(input)) {
      const int type = unit[0] & 0x1F;
      slices += (type == 1 || type == 5) ? 1 : 0;
      payload += unit.size();
      ++count;
    }
    // libx264 writes one slice per picture; ffprobe counts pictures.
    std::ifstream packets(kMedia + "/" + stream + ".packets");
    int pictures = 0;
    packets >> pictures;
    EXPECT_EQ(slices, pictures);
    // Every input byte is a unit byte or a start-code byte (3 or 4 each).
    EXPECT_GE(input.size(), payload + 3 * count);
    EXPECT_LE(input.size(), payload + 4 * count);
  }
}

TEST(RealAac, AdtsHeaderMatchesFfprobe) {
  for (const char* stream : {"aac_44100_2", "aac_48000_1", "aac_22050_6"}) {
    SCOPED_TRACE(stream);
    const std::vector<uint8_t> bytes = readBytes(std::string(stream) + ".aac");
    ASSERT_GE(bytes.size(), 7u);
    int rate = 0, channels = 0, profile = 0;
    ASSERT_TRUE(ReadAdtsHeader(bytes.data(), &rate, &channels, &profile));
    const auto probed = probePair(std::string(stream) + ".probe");
    EXPECT_EQ(rate, probed.first);
    EXPECT_EQ(channels, probed.second);
    EXPECT_EQ(profile, 2);  // ffmpeg's encoder writes AAC LC
    // Our header for the first frame's payload equals the one ffmpeg wrote.
    StreamParams params;
    params.sampleRate = rate;
    params.channels = channels;
    params.aacProfile = profile;
    const int frameLength = ((bytes[3] & 3) << 11) | (bytes[4] << 3) | (bytes[5] >> 5);
    uint8_t header[7];
    params.genAdtsHeader(header, frameLength - 7);
    EXPECT_EQ(std::vector<uint8_t>(header, header + 7),
              std::vector<uint8_t>(bytes.begin(), bytes.begin() + 7));
  }
}

TEST(RealFlv, AvcRecordMatchesFfmpegSequenceHeader) {
  for (const char* stream : {"640x360", "1920x1080"}) {
    SCOPED_TRACE(stream);
    const std::string flv = std::string(stream == std::string("640x360") ? "av_" : "v_") + stream + ".flv";
    const StreamParams ours = firstParameterSets(std::string("h264_") + stream + ".h264");
    char record[512];
    const int size = ours.MakeAVCc(record, sizeof record);
    ASSERT_GT(size, 0);

    std::vector<uint8_t> theirs;
    for (const auto& tag : openAndWalk(flv)) {
      // Video tag, AVC, AVCPacketType 0: the configuration record follows.
      if (tag.type == 9 && tag.body.size() > 5 && (tag.body[0] & 0x0F) == 7 && tag.body[1] == 0) {
        theirs.assign(tag.body.begin() + 5, tag.body.end());
        break;
      }
    }
    ASSERT_GE(theirs.size(), static_cast<size_t>(size));
    EXPECT_EQ(std::vector<uint8_t>(theirs.begin(), theirs.begin() + size),
              std::vector<uint8_t>(record, record + size));
    // High profile records may carry four more bytes (chroma format and bit
    // depths) after the PPS; nothing else may differ.
    EXPECT_TRUE(theirs.size() == static_cast<size_t>(size) || theirs.size() == static_cast<size_t>(size) + 4);

    StreamParams parsed;
    EXPECT_EQ(parsed.ParseAVCc(theirs.data(), static_cast<int>(theirs.size())), size);
    EXPECT_EQ(parsed.sps, ours.sps);
    EXPECT_EQ(parsed.pps, ours.pps);
    const auto probed = probePair(std::string("h264_") + stream + ".probe");
    EXPECT_EQ(parsed.width, probed.first);
    EXPECT_EQ(parsed.height, probed.second);
  }
}

TEST(RealFlv, AacConfigMatchesFfmpegSequenceHeader) {
  for (const auto& tag : openAndWalk("av_640x360.flv")) {
    if (tag.type != 8 || tag.body.size() < 4 || tag.body[1] != 0) continue;
    int rate = 0, channels = 0, profile = 0;
    ReadAudioSpecificConfig(tag.body.data() + 2, &rate, &channels, &profile);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 2);
    uint8_t config[2];
    BuildAudioSpecificConfig(config, rate, channels, profile);
    EXPECT_EQ(config[0], tag.body[2]);
    EXPECT_EQ(config[1], tag.body[3]);
    StreamParams params;
    params.audioCodec = 10;
    params.sampleRate = rate;
    params.channels = channels;
    EXPECT_EQ(params.AudioType(), tag.body[0]);
    return;
  }
  FAIL() << "no AAC sequence header found";
}

TEST(RealFlv, OnMetaDataReencodesByteForByte) {
  const std::vector<WalkedTag> tags = openAndWalk("av_640x360.flv");
  ASSERT_FALSE(tags.empty());
  ASSERT_EQ(tags[0].type, 18);
  Flash::MetaDataBody body;
  ASSERT_TRUE(Flash::DecodeMetaData(tags[0].body.data(), tags[0].body.size(), body));
  EXPECT_EQ(body.name.value, "onMetaData");
  EXPECT_EQ(body.entries.FindMember("width")->AsNumber(), 640.0);
  EXPECT_EQ(body.entries.FindMember("height")->AsNumber(), 360.0);
  EXPECT_EQ(body.entries.FindMember("audiosamplerate")->AsNumber(), 44100.0);
  EXPECT_EQ(Flash::EncodeMetaData(body), tags[0].body);
}

TEST(RealFlv, BackwardWalkVisitsTheSameTags) {
  FLVIO io;
  ASSERT_TRUE(io.Open((kMedia + "/av_640x360.flv").c_str(), FLVIO::ModeRead));
  const std::vector<WalkedTag> forward = walkForward(io);
  ASSERT_GT(forward.size(), 50u);
  // Timestamps never run backwards within one stream.
  uint32_t lastVideo = 0;
  for (const auto& tag : forward) {
    if (tag.type != 9) continue;
    EXPECT_GE(tag.time, lastVideo);
    lastVideo = tag.time;
  }
  // From the last tag back to the first through the stored sizes.
  FlvTag tag;
  ASSERT_EQ(io.Seek(static_cast<int64_t>(forward.back().slot), 0), static_cast<int64_t>(forward.back().slot));
  ASSERT_TRUE(tag.ReadHdr(io, 0));
  size_t index = forward.size() - 1;
  for (;;) {
    EXPECT_EQ(tag.TagPos(io), forward[index].slot);
    EXPECT_EQ(tag.GetType(), forward[index].type);
    if (!tag.Prev(io)) break;
    ASSERT_GT(index, 0u);
    --index;
  }
  EXPECT_EQ(index, 0u);
}

}  // namespace
}  // namespace vidscribe

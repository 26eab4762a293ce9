#include "bitstream/stream_params.h"

#include <gtest/gtest.h>

#include <vector>

#include "bitstream/sps_parser.h"

namespace vidscribe {
namespace {

// A Constrained Baseline SPS written by libx264 for 1280x720 (80 x 45 macroblocks).
const std::vector<uint8_t> kSps720 = {0x67, 0x42, 0xC0, 0x1F, 0xD9, 0x00, 0x50, 0x05, 0xBB,
                                      0x01, 0x10, 0x00, 0x00, 0x03, 0x00, 0x10, 0x00, 0x00,
                                      0x03, 0x03, 0x20, 0xF1, 0x83, 0x24, 0x80};
const std::vector<uint8_t> kPps = {0x68, 0xCE, 0x3C, 0x80};

TEST(AvcConfigRecord, BuiltFromStoredParameterSets) {
  StreamParams params;
  params.sps = {0x67, 0x64, 0x00, 0x1F, 1, 2, 3, 4, 5, 6};
  params.pps = kPps;
  char record[64];
  ASSERT_EQ(params.MakeAVCc(record, sizeof record), 25);
  const uint8_t head[] = {0x01, 0x64, 0x00, 0x1F, 0xFF, 0xE1, 0x00, 0x0A};
  EXPECT_EQ(0, memcmp(record, head, sizeof head));
  const uint8_t tail[] = {0x01, 0x00, 0x04, 0x68, 0xCE, 0x3C, 0x80};
  EXPECT_EQ(0, memcmp(record + 18, tail, sizeof tail));
  EXPECT_EQ(params.MakeAVCc(record, 24), -1);
  EXPECT_EQ(params.MakeAVCc(nullptr, 64), -1);
  params.sps = {0x67, 0x64};  // too short to carry profile and level
  EXPECT_EQ(params.MakeAVCc(record, sizeof record), -1);
}

TEST(AvcConfigRecord, StaticFormMatchesAndChecksSourceLengths) {
  StreamParams params;
  params.sps = kSps720;
  params.pps = kPps;
  char expected[64];
  const int size = params.MakeAVCc(expected, sizeof expected);

  std::vector<char> src = {0, static_cast<char>(kSps720.size())};
  src.insert(src.end(), kSps720.begin(), kSps720.end());
  src.insert(src.end(), {0, 4});
  src.insert(src.end(), kPps.begin(), kPps.end());
  char record[64];
  ASSERT_EQ(StreamParams::MakeAVCc(src.data(), static_cast<int>(src.size()), record, sizeof record), size);
  EXPECT_EQ(0, memcmp(record, expected, static_cast<size_t>(size)));
  // A PPS length pointing past the source is refused, not copied.
  EXPECT_EQ(StreamParams::MakeAVCc(src.data(), static_cast<int>(src.size()) - 1, record, sizeof record), -1);
  EXPECT_EQ(StreamParams::MakeAVCc(src.data(), 0, record, sizeof record), -1);
  EXPECT_EQ(StreamParams::MakeAVCc(src.data(), static_cast<int>(src.size()), record, size - 1), -1);
}

TEST(AvcConfigRecord, ParsedBackIntoParametersAndSize) {
  StreamParams writer;
  writer.sps = kSps720;
  writer.pps = kPps;
  uint8_t record[64];
  const int size = writer.MakeAVCc(reinterpret_cast<char*>(record), sizeof record);
  StreamParams reader;
  EXPECT_EQ(reader.ParseAVCc(record, size), size);
  EXPECT_EQ(reader.sps, kSps720);
  EXPECT_EQ(reader.pps, kPps);
  EXPECT_EQ(reader.width, 1280);
  EXPECT_EQ(reader.height, 720);
  EXPECT_TRUE(reader.hasSeqVideo());

  // A PPS that runs past the end is ignored; a cut record is never overread.
  StreamParams partial;
  partial.ParseAVCc(record, size - 1);
  EXPECT_EQ(partial.sps, kSps720);
  EXPECT_TRUE(partial.pps.empty());
  for (int cut = 0; cut < size; ++cut) {
    std::vector<uint8_t> copy(record, record + cut);  // exact-size heap copy for the sanitizer
    StreamParams any;
    EXPECT_LE(any.ParseAVCc(copy.data(), cut), cut);
  }
}

TEST(SequenceNal, StartCodesInFrontOfEachSet) {
  StreamParams params;
  uint8_t out[64];
  EXPECT_EQ(params.MakeSeqNal(out, sizeof out), 0);
  EXPECT_FALSE(params.hasSeqVideo());
  params.sps = {0x67, 0x42};
  params.pps = {0x68};
  EXPECT_EQ(params.MakeSeqNal(out, 10), 0);
  ASSERT_EQ(params.MakeSeqNal(out, 11), 11);
  const uint8_t expected[] = {0, 0, 0, 1, 0x67, 0x42, 0, 0, 0, 1, 0x68};
  EXPECT_EQ(0, memcmp(out, expected, sizeof expected));
}

TEST(SpsSize, RejectsWrongTypeAndTruncatedUnits) {
  int w = 0, h = 0;
  ASSERT_TRUE(ParseSpsSize(kSps720.data(), kSps720.size(), &w, &h));
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 720);
  std::vector<uint8_t> notSps = kSps720;
  notSps[0] = 0x68;
  EXPECT_FALSE(ParseSpsSize(notSps.data(), notSps.size(), &w, &h));
  for (size_t cut = 0; cut < 8; ++cut) {
    std::vector<uint8_t> copy(kSps720.begin(), kSps720.begin() + static_cast<long>(cut));
    EXPECT_FALSE(ParseSpsSize(copy.data(), copy.size(), &w, &h)) << cut;
  }
  // An escaped 00 00 03 before the size fields: the 03 is not syntax.
  const std::vector<uint8_t> escaped = {0x67, 0x42, 0x00, 0x1E, 0x00, 0x00, 0x03, 0x02,
                                        0x00, 0x00, 0x05, 0xA0, 0x14, 0x01, 0x6E, 0x40};
  ASSERT_TRUE(ParseSpsSize(escaped.data(), escaped.size(), &w, &h));
  EXPECT_EQ(w, 1280);
  EXPECT_EQ(h, 720);
  // High profile with two scaling lists sent (a 4x4 one in full, an 8x8 one
  // falling back to the default): the lists must be read, not skipped.
  const std::vector<uint8_t> scaling = {0x67, 0x64, 0x00, 0x28, 0xAD, 0x9B, 0xFF, 0xF8,
                                        0x21, 0x17, 0x20, 0x0F, 0x00, 0x44, 0xC8};
  ASSERT_TRUE(ParseSpsSize(scaling.data(), scaling.size(), &w, &h));
  EXPECT_EQ(w, 1920);
  EXPECT_EQ(h, 1088);
  // All-zero bits after the header: an Exp-Golomb prefix that never ends.
  const std::vector<uint8_t> zeros = {0x67, 0x64, 0, 0x1F, 0, 0, 0, 0, 0, 0};
  EXPECT_FALSE(ParseSpsSize(zeros.data(), zeros.size(), &w, &h));
}

}  // namespace
}  // namespace vidscribe

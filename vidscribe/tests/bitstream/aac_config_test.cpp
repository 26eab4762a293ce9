#include "bitstream/aac_config.h"

#include <gtest/gtest.h>

#include "bitstream/stream_params.h"

namespace vidscribe {
namespace {

TEST(AudioSpecificConfig, BuildsAndReadsBack) {
  uint8_t config[2];
  ASSERT_EQ(BuildAudioSpecificConfig(config, 44100, 2, 2), 2);
  EXPECT_EQ(config[0], 0x12);
  EXPECT_EQ(config[1], 0x10);
  int rate = 0, channels = 0, profile = 0;
  ReadAudioSpecificConfig(config, &rate, &channels, &profile);
  EXPECT_EQ(rate, 44100);
  EXPECT_EQ(channels, 2);
  EXPECT_EQ(profile, 2);
  // A rate missing from the table is written with index 7 (22050 Hz).
  BuildAudioSpecificConfig(config, 44000, 1, 2);
  ReadAudioSpecificConfig(config, &rate, &channels, &profile);
  EXPECT_EQ(rate, 22050);
  EXPECT_EQ(AacSampleRateIndex(44000), 7);
  EXPECT_EQ(AacSampleRateIndex(0), 7);  // the reserved zeros are not a rate
  EXPECT_EQ(AacSampleRateIndex(7350), 12);
}

TEST(AdtsHeader, WritesAndReadsBack) {
  StreamParams params;
  params.sampleRate = 44100;
  params.channels = 2;
  params.aacProfile = 2;
  uint8_t header[7];
  EXPECT_EQ(params.genAdtsHeader(header, 100), 0);
  const uint8_t expected[7] = {0xFF, 0xF1, 0x50, 0x80, 0x0D, 0x7F, 0xFC};
  EXPECT_EQ(0, memcmp(header, expected, 7));
  int rate = 0, channels = 0, profile = 0;
  ASSERT_TRUE(ReadAdtsHeader(header, &rate, &channels, &profile));
  EXPECT_EQ(rate, 44100);
  EXPECT_EQ(channels, 2);
  EXPECT_EQ(profile, 2);
  // Six channels use the high bit of the channel configuration in byte 2.
  params.channels = 6;
  params.sampleRate = 48000;
  params.genAdtsHeader(header, 8000);
  ASSERT_TRUE(ReadAdtsHeader(header, &rate, &channels, &profile));
  EXPECT_EQ(channels, 6);
  EXPECT_EQ(rate, 48000);
  EXPECT_EQ(((header[3] & 3) << 11) | (header[4] << 3) | (header[5] >> 5), 8007);
  // With CRC (F0) or MPEG-2 (F9) the header is not recognised.
  header[1] = 0xF0;
  EXPECT_FALSE(ReadAdtsHeader(header, &rate, &channels, &profile));
  header[1] = 0xF9;
  EXPECT_FALSE(ReadAdtsHeader(header, &rate, &channels, &profile));
}

TEST(AudioTagByte, RateIndexAndChannels) {
  StreamParams params;
  params.audioCodec = 10;
  params.sampleRate = 44100;
  params.channels = 2;
  EXPECT_EQ(params.AudioType(), 0xAF);
  params.sampleRate = 48000;  // not one of the three FLV rates
  params.channels = 1;
  EXPECT_EQ(params.AudioType(), 0xA2);
  params.sampleRate = 11025;
  EXPECT_EQ(params.AudioType(), 0xA6);
}

}  // namespace
}  // namespace vidscribe

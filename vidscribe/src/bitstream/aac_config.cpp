#include "bitstream/aac_config.h"

namespace vidscribe {

const int kAacSampleRates[16] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050,
                                 16000, 12000, 11025, 8000,  7350,  0,     0,     0};

int AacSampleRateIndex(int sampleRate) {
  for (int i = 0; i < 16; ++i) {
    // The reserved zeros must not match a rate of 0.
    if (kAacSampleRates[i] != 0 && kAacSampleRates[i] == sampleRate) return i;
  }
  return 7;
}

int BuildAudioSpecificConfig(uint8_t* out, int sampleRate, int channels, int profile) {
  const int index = AacSampleRateIndex(sampleRate);
  out[0] = static_cast<uint8_t>(((profile & 0x1F) << 3) | (index >> 1));
  out[1] = static_cast<uint8_t>(((index & 1) << 7) | ((channels & 0x0F) << 3));
  return 2;
}

int ReadAudioSpecificConfig(const uint8_t* in, int* sampleRate, int* channels, int* profile) {
  *profile = in[0] >> 3;
  *sampleRate = kAacSampleRates[((in[0] & 7) << 1) | (in[1] >> 7)];
  *channels = (in[1] >> 3) & 0x0F;
  return 2;
}

namespace {

void readAdtsFields(const uint8_t* in, int* sampleRate, int* channels, int* profile) {
  *profile = (in[2] >> 6) + 1;
  *sampleRate = kAacSampleRates[(in[2] >> 2) & 0x0F];
  *channels = ((in[2] & 1) << 2) | (in[3] >> 6);
}

}  // namespace

bool ReadAdtsHeader(const uint8_t* in, int* sampleRate, int* channels, int* profile) {
  if (in[0] != 0xFF || in[1] != 0xF1) return false;
  readAdtsFields(in, sampleRate, channels, profile);
  return true;
}

bool ParseAdtsHeader(const uint8_t* data, size_t length, AdtsHeader& out) {
  // Sync word 0xFFF, then the MPEG version bit, layer 00 and the CRC flag.
  if (data == nullptr || length < static_cast<size_t>(kAdtsHeaderSize) || data[0] != 0xFF ||
      (data[1] & 0xF6) != 0xF0)
    return false;
  AdtsHeader header;
  header.headerLength = (data[1] & 1) ? kAdtsHeaderSize : kAdtsHeaderSize + 2;
  header.frameLength = ((data[3] & 3) << 11) | (data[4] << 3) | (data[5] >> 5);
  readAdtsFields(data, &header.sampleRate, &header.channels, &header.profile);
  if (header.frameLength < header.headerLength || header.sampleRate == 0) return false;
  out = header;
  return true;
}

void WriteAdtsHeader(uint8_t* out, int payloadLength, int sampleRate, int channels, int profile) {
  const int index = AacSampleRateIndex(sampleRate);
  const unsigned frameLength = static_cast<unsigned>(payloadLength + kAdtsHeaderSize) & 0x1FFF;
  out[0] = 0xFF;
  out[1] = 0xF1;  // MPEG-4, layer 0, no CRC
  out[2] = static_cast<uint8_t>((((profile - 1) & 3) << 6) | (index << 2) | ((channels >> 2) & 1));
  out[3] = static_cast<uint8_t>(((channels & 3) << 6) | (frameLength >> 11));
  out[4] = static_cast<uint8_t>((frameLength >> 3) & 0xFF);
  // Buffer fullness 0x7FF means variable rate; zero raw blocks means one.
  out[5] = static_cast<uint8_t>(((frameLength & 7) << 5) | 0x1F);
  out[6] = 0xFC;
}

}  // namespace vidscribe

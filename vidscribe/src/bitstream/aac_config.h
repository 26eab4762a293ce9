// AAC parameter records: the 2-byte AudioSpecificConfig carried in sequence
// headers and the 7-byte ADTS header carried in front of stream frames.
#ifndef VIDSCRIBE_BITSTREAM_AAC_CONFIG_H
#define VIDSCRIBE_BITSTREAM_AAC_CONFIG_H

#include <cstdint>

#include "vidscribe/vidscribe.h"

namespace vidscribe {

// The MPEG-4 audio sampling frequency table; entries 13-15 are reserved (0).
extern const int kAacSampleRates[16];

// Index of rate in the table; a rate that is not in it maps to 7 (22050 Hz),
// which keeps the written header well-formed.
int AacSampleRateIndex(int sampleRate);

// Writes 2 bytes; returns 2.
int BuildAudioSpecificConfig(uint8_t* out, int sampleRate, int channels, int profile);
// Reads 2 bytes; returns 2.
int ReadAudioSpecificConfig(const uint8_t* in, int* sampleRate, int* channels, int* profile);

constexpr int kAdtsHeaderSize = 7;
// Recognises only the MPEG-4 header without CRC (second byte exactly F1);
// anything else is left to the caller as plain frame data.
bool ReadAdtsHeader(const uint8_t* in, int* sampleRate, int* channels, int* profile);
// ParseAdtsHeader (public) takes every ADTS header, with or without CRC.
// Writes the 7-byte header for a frame carrying payloadLength bytes.
void WriteAdtsHeader(uint8_t* out, int payloadLength, int sampleRate, int channels, int profile);

}  // namespace vidscribe

#endif  // VIDSCRIBE_BITSTREAM_AAC_CONFIG_H

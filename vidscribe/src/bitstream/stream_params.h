// The stream parameters a recorder keeps (parameter sets, picture size,
// audio format) and the records built from and read into them.
#ifndef VIDSCRIBE_BITSTREAM_STREAM_PARAMS_H
#define VIDSCRIBE_BITSTREAM_STREAM_PARAMS_H

#include <cstdint>
#include <vector>

namespace vidscribe {

struct StreamParams {
  // Whole NAL units including their header byte.
  std::vector<uint8_t> sps;
  std::vector<uint8_t> pps;
  int32_t width = 0;
  int32_t height = 0;
  int32_t audioCodec = -1;  // FLV sound format; -1 none
  int32_t sampleRate = 0;
  int32_t channels = 0;
  int32_t aacProfile = 2;  // AAC audio object type (2 = LC)

  // AVC decoder configuration record from sps and pps. Returns its size, or
  // -1 when out is null, a parameter set is missing or capacity is short.
  int MakeAVCc(char* out, int capacity) const;
  // The same from src = u16 SPS length, SPS, u16 PPS length, PPS.
  static int MakeAVCc(const char* src, int srcLength, char* out, int capacity);
  // Takes one SPS and one PPS from a decoder configuration record; picture
  // size from the SPS when it parses. Returns the bytes consumed.
  int ParseAVCc(const uint8_t* record, int length);
  // 00 00 00 01 SPS 00 00 00 01 PPS; returns its size, 0 when there is
  // nothing to write or no room.
  int MakeSeqNal(uint8_t* out, int capacity) const;
  bool hasSeqVideo() const { return !sps.empty() && !pps.empty(); }
  // First byte of an FLV audio tag body.
  uint8_t AudioType() const;
  // Writes 7 bytes; returns 0.
  int genAdtsHeader(uint8_t* out, int payloadLength) const;
};

}  // namespace vidscribe

#endif  // VIDSCRIBE_BITSTREAM_STREAM_PARAMS_H

#include "bitstream/stream_params.h"

#include <cstring>

#include "base/big_endian.h"
#include "bitstream/aac_config.h"
#include "bitstream/sps_parser.h"
#include "log/log_channel.h"

namespace vidscribe {
namespace {

constexpr const char* kTag = "Flv";

// Layout shared by both record builders: version 1, profile, compatibility,
// level, 4-byte unit lengths (FF), one SPS (E1), SPS, one PPS, PPS.
int writeRecord(const uint8_t* sps, int spsLength, const uint8_t* pps, int ppsLength, uint8_t* out) {
  uint8_t* p = out;
  *p++ = 0x01;
  *p++ = sps[1];
  *p++ = sps[2];
  *p++ = sps[3];
  *p++ = 0xFF;
  *p++ = 0xE1;
  PutU16(p, static_cast<uint16_t>(spsLength));
  p += 2;
  std::memcpy(p, sps, static_cast<size_t>(spsLength));
  p += spsLength;
  *p++ = 0x01;
  PutU16(p, static_cast<uint16_t>(ppsLength));
  p += 2;
  std::memcpy(p, pps, static_cast<size_t>(ppsLength));
  return spsLength + ppsLength + 11;
}

}  // namespace

int StreamParams::MakeAVCc(char* out, int capacity) const {
  // The record copies profile, compatibility and level out of the SPS, so a
  // shorter SPS cannot make a record; a 16-bit length field bounds both sets.
  if (out == nullptr || sps.size() < 4 || pps.empty() || sps.size() > 0xFFFF || pps.size() > 0xFFFF) {
    LogPrint(kTag, "MakeAVCc args error %p, %d, %d", static_cast<void*>(out), static_cast<int>(sps.size()),
             static_cast<int>(pps.size()));
    return -1;
  }
  const int needed = static_cast<int>(sps.size() + pps.size()) + 11;
  if (capacity < needed) {
    LogPrint(kTag, "MakeAVCc lenght error require %d actually %d", needed, capacity);
    return -1;
  }
  uint8_t* record = reinterpret_cast<uint8_t*>(out);
  writeRecord(sps.data(), static_cast<int>(sps.size()), pps.data(), static_cast<int>(pps.size()), record);
  LogHexDump(kTag, record, static_cast<unsigned>(needed), "MakeAVCc");
  return needed;
}

int StreamParams::MakeAVCc(const char* src, int srcLength, char* out, int capacity) {
  if (src == nullptr || out == nullptr || srcLength < 2) return -1;
  const uint8_t* in = reinterpret_cast<const uint8_t*>(src);
  // Both length fields are checked against srcLength so that a bad length
  // cannot make the copy read past the source.
  const int spsLength = GetU16(in);
  if (spsLength < 4 || srcLength - 2 < spsLength + 2) return -1;
  const uint8_t* sps = in + 2;
  const int ppsLength = GetU16(sps + spsLength);
  const uint8_t* pps = sps + spsLength + 2;
  if (srcLength - 4 - spsLength < ppsLength) return -1;
  const int needed = spsLength + ppsLength + 11;
  if (capacity < needed) return -1;
  uint8_t* record = reinterpret_cast<uint8_t*>(out);
  writeRecord(sps, spsLength, pps, ppsLength, record);
  LogHexDump(kTag, record, static_cast<unsigned>(needed), "MakeAVCc2");
  return needed;
}

int StreamParams::ParseAVCc(const uint8_t* record, int length) {
  if (record == nullptr || length < 8) return 0;
  int at = 8;
  const int spsLength = GetU16(record + 6);
  if (spsLength > 0 && spsLength <= length - 8) {
    sps.assign(record + 8, record + 8 + spsLength);
    int w = 0, h = 0;
    if (ParseSpsSize(sps.data(), sps.size(), &w, &h)) {
      width = w;
      height = h;
      LogPrint(kTag, "got VideoSize %dx%d from sps info", width, height);
    } else {
      LogHexDump(kTag, sps.data(), static_cast<unsigned>(sps.size()), "got sps");
    }
    at += spsLength;
  }
  // PPS count byte (one PPS assumed), then its 16-bit length.
  if (length - at < 3) return at;
  const int ppsLength = GetU16(record + at + 1);
  at += 3;
  if (ppsLength > 0 && ppsLength <= length - at) {
    pps.assign(record + at, record + at + ppsLength);
    LogHexDump(kTag, pps.data(), static_cast<unsigned>(pps.size()), "got pps");
    at += ppsLength;
  }
  return at;
}

int StreamParams::MakeSeqNal(uint8_t* out, int capacity) const {
  if (!hasSeqVideo() || out == nullptr) return 0;
  const size_t needed = sps.size() + pps.size() + 8;
  if (capacity < 0 || static_cast<size_t>(capacity) < needed) {
    LogPrint(kTag, "MakeSeqNal buffer too small %d", capacity);
    return 0;
  }
  static const uint8_t kStartCode[4] = {0, 0, 0, 1};
  uint8_t* p = out;
  std::memcpy(p, kStartCode, 4);
  std::memcpy(p + 4, sps.data(), sps.size());
  p += 4 + sps.size();
  std::memcpy(p, kStartCode, 4);
  std::memcpy(p + 4, pps.data(), pps.size());
  return static_cast<int>(needed);
}

uint8_t StreamParams::AudioType() const {
  int rateIndex = 0;  // every other rate, 48000 Hz included
  if (sampleRate == 11025)
    rateIndex = 1;
  else if (sampleRate == 22050)
    rateIndex = 2;
  else if (sampleRate == 44100)
    rateIndex = 3;
  // Bit 1: 16-bit samples, always.
  return static_cast<uint8_t>(((audioCodec & 0x0F) << 4) | (rateIndex << 2) | 0x02 | (channels > 1 ? 1 : 0));
}

int StreamParams::genAdtsHeader(uint8_t* out, int payloadLength) const {
  WriteAdtsHeader(out, payloadLength, sampleRate, channels, aacProfile);
  return 0;
}

}  // namespace vidscribe

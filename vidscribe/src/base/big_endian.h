// Big-endian field access, the one set the library uses: FLV tags, AMF0
// numbers, length-prefixed H.264 units and MP4 boxes all store integers most
// significant byte first, whatever the host order.
#ifndef VIDSCRIBE_BASE_BIG_ENDIAN_H
#define VIDSCRIBE_BASE_BIG_ENDIAN_H

#include <cstdint>

namespace vidscribe {

inline uint16_t GetU16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

inline uint32_t GetU24(const uint8_t* p) {
  return (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | uint32_t{p[2]};
}

inline uint32_t GetU32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | GetU24(p + 1);
}

inline uint64_t GetU64(const uint8_t* p) {
  return (uint64_t{GetU32(p)} << 32) | GetU32(p + 4);
}

inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}

inline void PutU24(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 16);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v);
}

inline void PutU32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  PutU24(p + 1, v);
}

inline void PutU64(uint8_t* p, uint64_t v) {
  PutU32(p, static_cast<uint32_t>(v >> 32));
  PutU32(p + 4, static_cast<uint32_t>(v));
}

}  // namespace vidscribe

#endif  // VIDSCRIBE_BASE_BIG_ENDIAN_H

// Big-endian reads from an AmfCursor that fail instead of crossing its end,
// and the matching writes.
#ifndef VIDSCRIBE_AMF_AMF0_BYTES_H
#define VIDSCRIBE_AMF_AMF0_BYTES_H

#include <cstdint>
#include <cstring>
#include <string>

#include "amf/amf0_value.h"

namespace Flash {
namespace bytes {

inline bool readBE(AmfCursor& cursor, int width, uint64_t& value) {
  if (cursor.remaining() < static_cast<size_t>(width)) return false;
  value = 0;
  for (int i = 0; i < width; ++i) value = (value << 8) | *cursor.pos++;
  return true;
}

inline bool readU8(AmfCursor& cursor, uint8_t& value) {
  uint64_t v = 0;
  if (!readBE(cursor, 1, v)) return false;
  value = static_cast<uint8_t>(v);
  return true;
}

inline bool readDouble(AmfCursor& cursor, double& value) {
  uint64_t bits = 0;
  if (!readBE(cursor, 8, bits)) return false;
  std::memcpy(&value, &bits, sizeof value);
  return true;
}

// A length-prefixed byte run; the length is checked against what is left
// before anything is allocated for it.
inline bool readText(AmfCursor& cursor, int lengthWidth, std::string& text) {
  uint64_t length = 0;
  if (!readBE(cursor, lengthWidth, length) || length > cursor.remaining()) return false;
  text.assign(reinterpret_cast<const char*>(cursor.pos), static_cast<size_t>(length));
  cursor.pos += length;
  return true;
}

inline bool nextIsObjectEnd(const AmfCursor& cursor) {
  return cursor.remaining() >= 3 && cursor.pos[0] == 0 && cursor.pos[1] == 0 && cursor.pos[2] == kObjectEnd;
}

inline void writeBE(uint8_t*& out, int width, uint64_t value) {
  for (int i = width - 1; i >= 0; --i) *out++ = static_cast<uint8_t>(value >> (8 * i));
}

inline void writeDouble(uint8_t*& out, double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  writeBE(out, 8, bits);
}

inline void writeText(uint8_t*& out, int lengthWidth, const std::string& text) {
  writeBE(out, lengthWidth, text.size());
  std::memcpy(out, text.data(), text.size());
  out += text.size();
}

}  // namespace bytes
}  // namespace Flash

#endif  // VIDSCRIBE_AMF_AMF0_BYTES_H

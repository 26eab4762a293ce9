#include "mp4file/box_writer.h"

#include "mp4file/byte_order.h"

namespace mp4file {

size_t BoxWriter::Begin(uint32_t type) {
  size_t start = bytes_.size();
  U32(0);  // size patched by End
  U32(type);
  return start;
}

size_t BoxWriter::BeginFull(uint32_t type, uint8_t version, uint32_t flags) {
  size_t start = Begin(type);
  U32((uint32_t{version} << 24) | (flags & 0xFFFFFF));
  return start;
}

void BoxWriter::End(size_t start) {
  // A gap at start itself lies in front of this box's header, not inside it.
  uint64_t size = bytes_.size() - start;
  for (const Gap& g : gaps_) {
    if (g.at > start) size += g.size;
  }
  if (size > 0xFFFFFFFFu) tooLarge_ = true;
  PutU32(bytes_.data() + start, static_cast<uint32_t>(size));
}

void BoxWriter::U16(uint16_t v) {
  uint8_t b[2];
  PutU16(b, v);
  Bytes(b, 2);
}

void BoxWriter::U32(uint32_t v) {
  uint8_t b[4];
  PutU32(b, v);
  Bytes(b, 4);
}

void BoxWriter::U64(uint64_t v) {
  uint8_t b[8];
  PutU64(b, v);
  Bytes(b, 8);
}

}  // namespace mp4file

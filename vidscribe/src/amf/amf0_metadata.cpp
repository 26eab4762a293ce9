#include "amf/amf0_metadata.h"

namespace Flash {

bool DecodeMetaData(const uint8_t* body, size_t length, MetaDataBody& out) {
  if (body == nullptr || length == 0) return false;
  AmfCursor cursor(body, length);
  if (*cursor.pos != kString || out.name.Decode(cursor) != 0) return false;
  if (cursor.remaining() == 0 || *cursor.pos != kEcmaArray) return false;
  return out.entries.Decode(cursor) == 0;
}

std::vector<uint8_t> EncodeMetaData(const MetaDataBody& body) {
  std::vector<uint8_t> bytes(static_cast<size_t>(body.name.EncodedSize() + body.entries.EncodedSize()));
  uint8_t* out = bytes.data();
  if (body.name.Encode(out) < 0 || body.entries.Encode(out) < 0) return {};
  bytes.resize(static_cast<size_t>(out - bytes.data()));
  return bytes;
}

}  // namespace Flash

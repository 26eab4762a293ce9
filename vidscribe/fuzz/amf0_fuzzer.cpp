// AMF0 decoding: any bytes must decode or fail cleanly, and whatever
// decodes must re-encode into exactly EncodedSize bytes that decode again
// to the same encoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "amf/amf0_metadata.h"

namespace {

std::vector<uint8_t> encode(const Flash::AS_Value& value) {
  std::vector<uint8_t> bytes(static_cast<size_t>(value.EncodedSize()));
  uint8_t* out = bytes.data();
  if (value.Encode(out) < 0) return {};
  if (out != bytes.data() + bytes.size()) std::abort();
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Flash::MetaDataBody body;
  Flash::DecodeMetaData(data, size, body);

  if (size == 0) return 0;
  std::unique_ptr<Flash::AS_Value> value;
  Flash::AS_Value::Create(data[0], value);
  if (!value) return 0;
  Flash::AmfCursor cursor(data, size);
  if (value->Decode(cursor) != 0) return 0;
  if (cursor.pos > data + size) std::abort();
  const std::vector<uint8_t> once = encode(*value);
  if (once.empty()) return 0;
  std::unique_ptr<Flash::AS_Value> again;
  Flash::AS_Value::Create(once[0], again);
  Flash::AmfCursor second(once.data(), once.size());
  if (!again || again->Decode(second) != 0 || encode(*again) != once) std::abort();
  return 0;
}

// The body of an onMetaData script tag: a name string and one ECMA array.
#ifndef VIDSCRIBE_AMF_AMF0_METADATA_H
#define VIDSCRIBE_AMF_AMF0_METADATA_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "amf/amf0_value.h"

namespace Flash {

struct MetaDataBody {
  AS_String name;
  AS_ECMA_Array entries;
};

// False when either part fails to decode or the first value is no string.
bool DecodeMetaData(const uint8_t* body, size_t length, MetaDataBody& out);
// Empty when a value cannot be encoded.
std::vector<uint8_t> EncodeMetaData(const MetaDataBody& body);

}  // namespace Flash

#endif  // VIDSCRIBE_AMF_AMF0_METADATA_H

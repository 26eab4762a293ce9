// The onMetaData a recording is finished with, built from the writer's
// state: shared by Close and by the repair of a recording that never got
// to Close.
#ifndef VIDSCRIBE_RECORDER_CLOSING_METADATA_H
#define VIDSCRIBE_RECORDER_CLOSING_METADATA_H

#include <cstdint>
#include <vector>

#include "amf/amf0_metadata.h"
#include "recorder/vidscriber_state.h"

namespace vidscribe {

// Sets the stream entries (and in key-frame mode the index) in body, which
// holds the old tag's entries, and encodes it. Index positions are those of
// the file as it stands, shifted for a tag of oldSize bytes (back-pointer
// included; 0 when there was none) being replaced by the new one at slot 9.
// Empty when a value cannot be encoded.
std::vector<uint8_t> EncodeClosingMetaData(const VidscriberState& s, Flash::MetaDataBody& body,
                                           int64_t oldSize);

}  // namespace vidscribe

#endif  // VIDSCRIBE_RECORDER_CLOSING_METADATA_H

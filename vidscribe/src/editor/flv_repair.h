// Repair of an FLV recording whose recorder died before Close: its tags are
// all there up to the last one, which may be cut short, but onMetaData still
// says what the file held when it was opened (duration 0), and a recording
// in key-frame mode has none at all.
#ifndef VIDSCRIBE_EDITOR_FLV_REPAIR_H
#define VIDSCRIBE_EDITOR_FLV_REPAIR_H

#include "vidscribe/vidscribe.h"

namespace vidscribe {

// RepairRecording for a file that starts as FLV does (see vidscribe.h).
bool RepairFlv(const char* path, bool addKeyFrameIndex, RepairReport& report);

}  // namespace vidscribe

#endif  // VIDSCRIBE_EDITOR_FLV_REPAIR_H

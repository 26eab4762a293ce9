#pragma once
// The sample description box: the first entry says what the track holds
// (its four-character name) and, for H.264 and AAC, how to configure a
// decoder.
#include <cstdint>
#include <string>

#include "mp4file/byte_reader.h"
#include "mp4file/reader_track.h"

namespace mp4file {

bool ParseSampleDescription(const Box& stsd, ReaderTrack& track, uint32_t& entryCount, std::string& why);

}  // namespace mp4file

#pragma once
// What the writer knows about one track: its description for the sample
// entry and its sample tables.
#include <cstdint>
#include <vector>

#include "mp4file/mp4_types.h"
#include "mp4file/sample_table.h"

namespace mp4file {

struct WriterTrack {
  // The tables move full blocks to spill; without one they stay in memory.
  explicit WriterTrack(SpillFile* spill = nullptr, size_t blockEntries = kTableBlockEntries)
      : table(spill, blockEntries) {}

  TrackId id = kInvalidTrackId;
  TrackKind kind = TrackKind::Video;
  uint32_t timeScale = 0;
  // The edit list (see Mp4FileWriter::SetTrackEdit); none when both are 0.
  uint64_t editDelay = 0;
  uint64_t editMediaStart = 0;

  // H.264
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t profile = 0;
  uint8_t compatibility = 0;
  uint8_t level = 0;
  uint8_t lengthSizeMinusOne = 3;
  std::vector<std::vector<uint8_t>> sequenceSets;
  std::vector<std::vector<uint8_t>> pictureSets;

  // AAC
  uint8_t objectType = 0;
  std::vector<uint8_t> esConfiguration;

  SampleTable table;
};

}  // namespace mp4file

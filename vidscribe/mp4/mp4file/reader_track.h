#pragma once
// One track as a reader sees it, after its tables passed every check: the
// description from its sample entry and where each sample lies.
#include <cstdint>
#include <string>
#include <vector>

#include "mp4file/mp4_types.h"

namespace mp4file {

struct TimeRun {
  uint32_t firstSample;  // 0-based
  uint32_t count;
  uint32_t delta;
  uint64_t startTime;  // decode time of firstSample
};

struct OffsetRun {
  uint32_t firstSample;
  uint32_t count;
  int32_t offset;
};

struct ReaderTrack {
  TrackId id = kInvalidTrackId;
  uint32_t handler = 0;
  uint32_t sampleEntry = 0;  // four characters, e.g. "avc1"
  uint32_t timeScale = 0;
  uint64_t duration = 0;

  uint16_t width = 0;
  uint16_t height = 0;
  std::vector<std::vector<uint8_t>> sequenceSets;
  std::vector<std::vector<uint8_t>> pictureSets;
  bool hasAvcConfiguration = false;

  uint16_t channels = 0;
  std::vector<uint8_t> esConfiguration;
  bool hasEsConfiguration = false;

  std::vector<uint32_t> sizes;
  std::vector<uint64_t> offsets;
  std::vector<uint32_t> syncSamples;  // 1-based, ascending; empty with allSync
  bool allSync = true;
  std::vector<TimeRun> times;
  std::vector<OffsetRun> renderingOffsets;
  uint32_t maxSampleSize = 0;
};

// Parses one track box. Returns false with a reason when any part of it is
// damaged or points outside a file of fileSize bytes.
bool ParseTrack(const uint8_t* payload, size_t size, uint64_t fileSize, ReaderTrack& track, std::string& why);

}  // namespace mp4file

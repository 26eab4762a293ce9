#pragma once
// Reads an MP4 file: the movie box is parsed and checked once at open, then
// samples are read one at a time by number. Memory holds the sample tables,
// never sample data.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mp4file/byte_source.h"
#include "mp4file/mp4_types.h"
#include "mp4file/reader_track.h"

namespace mp4file {

struct SampleTiming {
  uint64_t decodeTime = 0;  // in the track's time scale
  uint32_t duration = 0;
  int32_t renderingOffset = 0;
};

class Mp4FileReader {
 public:
  // Null, with one log line saying why, when the file is missing or damaged.
  static std::unique_ptr<Mp4FileReader> Open(const std::string& path);
  static std::unique_ptr<Mp4FileReader> Open(std::unique_ptr<ByteSource> source, const std::string& name);

  // The index-th track of that kind in file order, or kInvalidTrackId.
  TrackId FindTrackId(TrackKind kind, uint32_t index = 0) const;
  uint32_t TrackCount() const { return static_cast<uint32_t>(tracks_.size()); }
  TrackId TrackIdAt(uint32_t index) const {
    return index < tracks_.size() ? tracks_[index].id : kInvalidTrackId;
  }

  // The sample entry's four characters ("avc1", "mp4a", ...), empty for an
  // unknown track.
  std::string MediaDataName(TrackId track) const;
  uint32_t TimeScale(TrackId track) const;
  uint64_t Duration(TrackId track) const;  // in the track's time scale
  uint32_t SampleCount(TrackId track) const;
  uint16_t VideoWidth(TrackId track) const;
  uint16_t VideoHeight(TrackId track) const;
  double VideoFrameRate(TrackId track) const;  // samples per second of duration
  uint32_t MaxSampleSize(TrackId track) const;
  bool H264ParameterSets(TrackId track, std::vector<std::vector<uint8_t>>& sequenceSets,
                         std::vector<std::vector<uint8_t>>& pictureSets) const;
  uint16_t AudioChannels(TrackId track) const;
  bool ESConfiguration(TrackId track, std::vector<uint8_t>& config) const;

  // sampleId counts from 1. Fails when the id is out of range, the buffer is
  // too small or the bytes cannot be read.
  bool ReadSample(TrackId track, uint32_t sampleId, uint8_t* buffer, uint32_t capacity, uint32_t& size,
                  bool& sync, SampleTiming* timing = nullptr);
  bool IsSyncSample(TrackId track, uint32_t sampleId) const;
  bool Timing(TrackId track, uint32_t sampleId, SampleTiming& timing) const;

  size_t TableMemoryBytes() const;

 private:
  Mp4FileReader() = default;
  bool load(std::string& why);
  bool loadMovie(const std::vector<uint8_t>& moov, std::string& why);
  const ReaderTrack* find(TrackId track) const;

  std::unique_ptr<ByteSource> source_;
  std::vector<ReaderTrack> tracks_;
};

}  // namespace mp4file

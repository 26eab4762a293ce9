#pragma once
// Writes an MP4 file as samples arrive: sample data goes straight to the
// media data box, the tables stay in memory, and Close appends the movie box.
// A file that is never closed has no movie box and does not pass for a
// finished recording.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mp4file/mp4_types.h"
#include "mp4file/output_file.h"
#include "mp4file/writer_track.h"

namespace mp4file {

class Mp4FileWriter {
 public:
  static std::unique_ptr<Mp4FileWriter> Create(const std::string& path);
  ~Mp4FileWriter();
  Mp4FileWriter(const Mp4FileWriter&) = delete;
  Mp4FileWriter& operator=(const Mp4FileWriter&) = delete;

  // lengthSizeMinusOne is 3 for the four-byte length fields samples carry.
  TrackId AddH264VideoTrack(uint32_t timeScale, uint16_t width, uint16_t height, uint8_t profile,
                            uint8_t compatibility, uint8_t level, uint8_t lengthSizeMinusOne);
  // Each distinct set is stored once, however often a stream repeats it.
  bool AddH264SequenceParameterSet(TrackId track, const uint8_t* data, size_t size);
  bool AddH264PictureParameterSet(TrackId track, const uint8_t* data, size_t size);

  TrackId AddAudioTrack(uint32_t timeScale, uint8_t objectType);
  bool SetTrackESConfiguration(TrackId track, const uint8_t* data, size_t size);

  // duration and renderingOffset are in the track's time scale.
  bool WriteSample(TrackId track, const uint8_t* data, uint32_t size, uint32_t duration,
                   int32_t renderingOffset, bool sync);

  // Writes the movie box and closes the file; false when anything on the way
  // failed. Further calls do nothing and return the same result.
  bool Close();

  size_t TableMemoryBytes() const;

 private:
  Mp4FileWriter() = default;
  bool start(const std::string& path);
  WriterTrack* track(TrackId id, TrackKind kind);
  TrackId addTrack(std::unique_ptr<WriterTrack> track);
  bool finishMediaData();

  OutputFile file_;
  std::string path_;
  std::vector<std::unique_ptr<WriterTrack>> tracks_;
  uint64_t mediaHeaderAt_ = 0;  // 16 bytes reserved: a free box, then the media data header
  TrackId lastTrack_ = kInvalidTrackId;
  bool failed_ = false;
  bool closed_ = false;
};

}  // namespace mp4file

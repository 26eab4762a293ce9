#pragma once
// Writes the movie box of a finished recording from the writers' tracks.
#include <cstdint>
#include <memory>
#include <vector>

#include "mp4file/output_file.h"
#include "mp4file/writer_track.h"

namespace mp4file {

// Movie-level durations are kept in milliseconds.
constexpr uint32_t kMovieTimeScale = 1000;

// Appends the movie box to file. Box sizes come from the tables' running
// counts; the tables themselves stream from their blocks, so memory stays
// bounded however long the recording. Chunk offsets switch to 64 bits once
// any of them lies past 4 GiB. False (logged) when a table cannot be read
// back, a box would outgrow its 32-bit size, or the file refuses a write.
bool WriteMovieBox(OutputFile& file, const std::vector<std::unique_ptr<WriterTrack>>& tracks);

}  // namespace mp4file

#pragma once
// Builds the movie box of a finished recording from the writers' tracks.
#include <cstdint>
#include <memory>
#include <vector>

#include "mp4file/writer_track.h"

namespace mp4file {

// Movie-level durations are kept in milliseconds.
constexpr uint32_t kMovieTimeScale = 1000;

// Chunk offsets switch to 64 bits once any of them lies past 4 GiB.
std::vector<uint8_t> BuildMovieBox(const std::vector<std::unique_ptr<WriterTrack>>& tracks);

}  // namespace mp4file

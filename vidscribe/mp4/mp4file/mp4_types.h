#pragma once
#include <cstdint>

namespace mp4file {

// Tracks are named by their track id as stored in the file; 0 names none.
using TrackId = uint32_t;
constexpr TrackId kInvalidTrackId = 0;

enum class TrackKind { Video, Audio };

// The handler types that tell a video track from a sound track.
constexpr uint32_t kHandlerVideo = 0x76696465;  // "vide"
constexpr uint32_t kHandlerSound = 0x736F756E;  // "soun"

}  // namespace mp4file

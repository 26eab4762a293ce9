#pragma once
// The journal a recording keeps beside its file (PATH.journal) while it
// runs: everything the movie box is built from, logged as the writer's own
// calls (tracks, parameter sets, edits, and each sample's size, duration,
// rendering offset and sync flag), so that a file whose recorder died can
// be given the movie box a clean Close would have written.
//
// Layout, big-endian:
//   header   "VSJOURNL", version u32, offset of the media data header u64
//   blocks   payload length u32, CRC-32 of the payload u32, payload:
//              media end u64: every sample of this and the earlier blocks
//              lies in the file below it
//              records: kind u8, then the kind's fields (below)
// A block is written with one write, and only after the media data it names
// has reached the file. A block cut short or garbled (a torn write, a power
// cut) fails its length or CRC check and ends the journal there.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mp4file/mp4_types.h"

namespace mp4file {

constexpr char kJournalMagic[8] = {'V', 'S', 'J', 'O', 'U', 'R', 'N', 'L'};
constexpr uint32_t kJournalVersion = 1;
constexpr size_t kJournalHeaderSize = 20;
constexpr size_t kJournalBlockHeaderSize = 8;
// No writer makes a block this large; a length beyond it is damage.
constexpr uint32_t kJournalMaxBlock = 32u << 20;

enum class JournalRecord : uint8_t {
  VideoTrack = 1,       // track u32, time scale u32, width u16, height u16, profile, compatibility, level,
                        // length size minus one (u8 each)
  AudioTrack = 2,       // track u32, time scale u32, object type u8
  SequenceSet = 3,      // track u32, length u16, bytes
  PictureSet = 4,       // track u32, length u16, bytes
  EsConfiguration = 5,  // track u32, length u16, bytes
  Edit = 6,             // track u32, delay u64, media start u64
  Sample = 7,           // track u32, size u32, duration u32, rendering offset i32, sync u8, tail check u32
};

// What a sample record says of the sample's bytes: the CRC-32 of its last
// bytes (at most kSampleTailBytes). Cheap to take while recording, and
// enough to tell the sample from whatever else a file holds at its place
// (another recording of the same name, zeros after a power cut).
constexpr size_t kSampleTailBytes = 16;
uint32_t SampleTailCheck(const uint8_t* sample, uint32_t size);

// One decoded record; only the fields of its kind are set. data points into
// the block it was read from.
struct JournalEntry {
  JournalRecord kind = JournalRecord::Sample;
  TrackId track = kInvalidTrackId;
  uint32_t timeScale = 0;
  uint16_t width = 0;
  uint16_t height = 0;
  uint8_t profile = 0;
  uint8_t compatibility = 0;
  uint8_t level = 0;
  uint8_t lengthSizeMinusOne = 0;
  uint8_t objectType = 0;
  const uint8_t* data = nullptr;
  size_t dataSize = 0;
  uint64_t delay = 0;
  uint64_t mediaStart = 0;
  uint32_t size = 0;
  uint32_t duration = 0;
  int32_t renderingOffset = 0;
  bool sync = false;
  uint32_t tailCheck = 0;
};

// The name of the journal a recording of path keeps.
std::string JournalPathFor(const std::string& recordingPath);

uint32_t Crc32(const uint8_t* data, size_t size);

// Decodes one block payload; false (and entries unusable) when any record
// is unknown or runs past the payload.
bool ParseJournalBlock(const uint8_t* payload, size_t size, uint64_t& mediaEnd,
                       std::vector<JournalEntry>& entries);

}  // namespace mp4file

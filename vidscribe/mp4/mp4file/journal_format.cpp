#include "mp4file/journal_format.h"

#include <zlib.h>

#include "mp4file/byte_reader.h"

namespace mp4file {
namespace {

// The bytes a set or configuration record carries, behind a 16-bit length.
void readBytes(ByteReader& r, JournalEntry& e) {
  e.dataSize = r.U16();
  e.data = r.Take(e.dataSize);
}

bool readRecord(ByteReader& r, JournalEntry& e) {
  e = JournalEntry();
  e.kind = static_cast<JournalRecord>(r.U8());
  e.track = r.U32();
  switch (e.kind) {
    case JournalRecord::VideoTrack:
      e.timeScale = r.U32();
      e.width = r.U16();
      e.height = r.U16();
      e.profile = r.U8();
      e.compatibility = r.U8();
      e.level = r.U8();
      e.lengthSizeMinusOne = r.U8();
      break;
    case JournalRecord::AudioTrack:
      e.timeScale = r.U32();
      e.objectType = r.U8();
      break;
    case JournalRecord::SequenceSet:
    case JournalRecord::PictureSet:
    case JournalRecord::EsConfiguration:
      readBytes(r, e);
      break;
    case JournalRecord::Edit:
      e.delay = r.U64();
      e.mediaStart = r.U64();
      break;
    case JournalRecord::Sample:
      e.size = r.U32();
      e.duration = r.U32();
      e.renderingOffset = static_cast<int32_t>(r.U32());
      e.sync = r.U8() != 0;
      e.tailCheck = r.U32();
      break;
    default:
      return false;
  }
  return r.Ok();
}

}  // namespace

std::string JournalPathFor(const std::string& recordingPath) {
  return recordingPath + ".journal";
}

uint32_t Crc32(const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(::crc32_z(0, data, size));
}

uint32_t SampleTailCheck(const uint8_t* sample, uint32_t size) {
  const uint32_t tail = size < kSampleTailBytes ? size : static_cast<uint32_t>(kSampleTailBytes);
  return Crc32(sample + (size - tail), tail);
}

bool ParseJournalBlock(const uint8_t* payload, size_t size, uint64_t& mediaEnd,
                       std::vector<JournalEntry>& entries) {
  ByteReader r(payload, size);
  entries.clear();
  mediaEnd = r.U64();
  while (r.Ok() && r.Remaining() > 0) {
    entries.emplace_back();
    if (!readRecord(r, entries.back())) return false;
  }
  return r.Ok();
}

}  // namespace mp4file

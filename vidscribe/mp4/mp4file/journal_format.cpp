#include "mp4file/journal_format.h"

#include <array>

#include "mp4file/byte_reader.h"

namespace mp4file {
namespace {

std::array<uint32_t, 256> makeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

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
  static const std::array<uint32_t, 256> table = makeCrcTable();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
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

#include "mp4file/journal_reader.h"

#include <cstring>

#include "mp4file/byte_order.h"

namespace mp4file {

std::unique_ptr<JournalReader> JournalReader::Open(std::unique_ptr<ByteSource> source, std::string& why) {
  uint8_t header[kJournalHeaderSize];
  if (!source || !source->ReadAt(0, header, sizeof header) ||
      std::memcmp(header, kJournalMagic, sizeof kJournalMagic) != 0) {
    why = "it is no recording journal";
    return nullptr;
  }
  if (GetU32(header + 8) != kJournalVersion) {
    why = "its journal comes from another version of the recorder";
    return nullptr;
  }
  return std::unique_ptr<JournalReader>(new JournalReader(std::move(source), GetU64(header + 12)));
}

bool JournalReader::NextBlock(uint64_t& mediaEnd, std::vector<JournalEntry>& entries) {
  const uint64_t size = source_->Size();
  if (damaged_ || at_ == size) return false;
  uint8_t header[kJournalBlockHeaderSize];
  damaged_ = true;  // until the block has passed every check
  if (!source_->ReadAt(at_, header, sizeof header)) return false;
  const uint32_t length = GetU32(header);
  if (length > kJournalMaxBlock || length > size - at_ - sizeof header) return false;
  block_.resize(length);
  if (!source_->ReadAt(at_ + sizeof header, block_.data(), length) ||
      Crc32(block_.data(), length) != GetU32(header + 4) ||
      !ParseJournalBlock(block_.data(), length, mediaEnd, entries))
    return false;
  damaged_ = false;
  at_ += sizeof header + length;
  return true;
}

}  // namespace mp4file

#pragma once
// Reads a recording's journal (see journal_format.h) block by block. The
// journal is outside data like any file: every length is checked against
// the bytes really there, and a block that fails its checks ends it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mp4file/byte_source.h"
#include "mp4file/journal_format.h"

namespace mp4file {

class JournalReader {
 public:
  // Null, with the reason in why, when source is no journal this version
  // writes.
  static std::unique_ptr<JournalReader> Open(std::unique_ptr<ByteSource> source, std::string& why);

  // Where the recording's media data header lies (right after its ftyp).
  uint64_t MediaHeaderAt() const { return mediaHeaderAt_; }
  // The next whole block; false at the end, or at a block cut short or
  // damaged (Damaged() tells which), where the journal is taken to end.
  // The entries point into memory that the next call reuses.
  bool NextBlock(uint64_t& mediaEnd, std::vector<JournalEntry>& entries);
  bool Damaged() const { return damaged_; }

 private:
  JournalReader(std::unique_ptr<ByteSource> source, uint64_t mediaHeaderAt)
      : source_(std::move(source)), mediaHeaderAt_(mediaHeaderAt) {}

  std::unique_ptr<ByteSource> source_;
  uint64_t mediaHeaderAt_;
  uint64_t at_ = kJournalHeaderSize;
  std::vector<uint8_t> block_;
  bool damaged_ = false;
};

}  // namespace mp4file

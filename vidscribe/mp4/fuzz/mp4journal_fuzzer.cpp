// Replays arbitrary bytes as a recording's journal into a writer that
// rebuilds a file (onto /dev/null, its samples read from /dev/zero), so
// every record the reader lets through is applied and the movie box is
// written from what it built. Block checksums are set right first: a
// mutation would almost never keep one, and the records behind it are
// what needs fuzzing (the checksum test itself is a plain comparison).
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mp4file/byte_order.h"
#include "mp4file/journal_format.h"
#include "mp4file/journal_reader.h"
#include "mp4file/journal_replay.h"
#include "mp4file/mp4_file_writer.h"
#include "mp4file/mp4_log.h"

using namespace mp4file;

namespace {

std::vector<uint8_t> withBlockChecksumsSet(const uint8_t* data, size_t size) {
  std::vector<uint8_t> journal(data, data + size);
  for (size_t at = kJournalHeaderSize; at + kJournalBlockHeaderSize <= size;) {
    const size_t length = GetU32(journal.data() + at);
    if (length > size - at - kJournalBlockHeaderSize) break;
    PutU32(journal.data() + at + 4, Crc32(journal.data() + at + kJournalBlockHeaderSize, length));
    at += kJournalBlockHeaderSize + length;
  }
  return journal;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = (SetLogHandler([](LogSource, const std::string&) {}), true);
  static const int zeros = ::open("/dev/zero", O_RDONLY | O_CLOEXEC);
  (void)quiet;
  std::string why;
  const std::vector<uint8_t> bytes = withBlockChecksumsSet(data, size);
  auto journal = JournalReader::Open(std::make_unique<MemorySource>(bytes.data(), bytes.size()), why);
  if (!journal) return 0;
  WriterOptions options;
  options.scratchFolder = "/tmp";
  auto writer = Mp4FileWriter::Create("/dev/null", options);
  if (!writer) return 0;
  // The bytes copied in are zeros: a megabyte of samples is plenty.
  uint64_t total = 0;
  JournalReplay replay(*writer, journal->MediaHeaderAt(), [&total](uint64_t, const JournalEntry& e, int) {
    total += e.size;
    return total <= (1u << 20);
  });
  uint64_t mediaEnd = 0;
  std::vector<JournalEntry> entries;
  while (journal->NextBlock(mediaEnd, entries) && replay.ApplyBlock(mediaEnd, entries)) {
  }
  (void)replay.DurationMs();
  writer->CopyMediaData(zeros, 0);
  writer->Close();
  return 0;
}

// Replays arbitrary bytes as a recording's journal into a writer that took
// a file over, as a repair does (a scratch file in memory, whose samples are
// the zeros of its holes), so every record the reader lets through is
// applied and the movie box is written from what it built. Block checksums are set right first: a
// mutation would almost never keep one, and the records behind it are
// what needs fuzzing (the checksum test itself is a plain comparison).
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
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

// One file for the whole run, on a memory file system where there is one,
// so the sync at Close costs nothing; removed when the run ends.
struct ScratchRecording {
  ScratchRecording() {
    for (const char* folder : {"/dev/shm", "/tmp"}) {
      path = std::string(folder) + "/mp4journal_fuzzer." + std::to_string(::getpid()) + ".mp4";
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
      if (fd < 0) continue;
      ::close(fd);
      return;
    }
  }
  ~ScratchRecording() { ::unlink(path.c_str()); }
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool quiet = (SetLogHandler([](LogSource, const std::string&) {}), true);
  static const ScratchRecording recording;
  (void)quiet;
  std::string why;
  const std::vector<uint8_t> bytes = withBlockChecksumsSet(data, size);
  auto journal = JournalReader::Open(std::make_unique<MemorySource>(bytes.data(), bytes.size()), why);
  if (!journal) return 0;
  WriterOptions options;
  options.scratchFolder = "/tmp";
  auto writer = Mp4FileWriter::TakeOver(recording.path, why, options);
  if (!writer) return 0;
  // The samples are zeros: a megabyte of them is plenty.
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
  writer->KeepMediaData();
  writer->Close();
  return 0;
}

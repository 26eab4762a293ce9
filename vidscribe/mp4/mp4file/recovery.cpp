#include "mp4file/recovery.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/file_copy.h"
#include "base/mapped_file.h"
#include "mp4file/byte_order.h"
#include "mp4file/journal_reader.h"
#include "mp4file/journal_replay.h"
#include "mp4file/mp4_file_writer.h"

namespace mp4file {
namespace {

using vidscribe::MappedFile;

// The file type box this writer writes, then the media data headers as
// recording leaves them (a free box and an mdat header) or as Close leaves
// them (the same with the size patched, or one 64-bit mdat header).
bool startsAsRecorded(const MappedFile& media, uint64_t mediaHeaderAt) {
  const std::vector<uint8_t> ftyp = FileTypeBox();
  if (mediaHeaderAt != ftyp.size() || media.size() < static_cast<int64_t>(mediaHeaderAt + 16) ||
      std::memcmp(media.data(), ftyp.data(), ftyp.size()) != 0)
    return false;
  const uint8_t* headers = media.data() + mediaHeaderAt;
  const bool split =
      GetU32(headers) == 8 && GetU32(headers + 4) == FourCC("free") && GetU32(headers + 12) == FourCC("mdat");
  const bool wide = GetU32(headers) == 1 && GetU32(headers + 4) == FourCC("mdat");
  return split || wide;
}

// A video sample is whole units behind length fields: zeros where the file
// lost its data (a power cut) or bytes of something else do not pass.
bool unitsFill(const uint8_t* sample, uint32_t size, int lengthBytes) {
  bool anyUnit = size == 0;
  for (uint32_t at = 0; at < size;) {
    if (size - at < static_cast<uint32_t>(lengthBytes)) return false;
    uint32_t length = 0;
    for (int i = 0; i < lengthBytes; ++i) length = (length << 8) | sample[at + i];
    at += static_cast<uint32_t>(lengthBytes);
    if (length > size - at) return false;
    anyUnit = anyUnit || length > 0;
    at += length;
  }
  return anyUnit;
}

// The samples a journal names lie one after the other, so they are read
// front to back through one buffer: touching the mapping at every sample
// instead costs a page-table miss per sample, which made the checks of an
// hour's recording take longer than copying it. A sample larger than the
// buffer is looked at through the mapping.
class MediaWindow {
 public:
  explicit MediaWindow(const MappedFile& media) : media_(media) {}

  // The sample's bytes, or null when the file ends before the sample does.
  const uint8_t* Sample(uint64_t offset, uint32_t size) {
    const uint64_t fileSize = static_cast<uint64_t>(media_.size());
    if (offset > fileSize || size > fileSize - offset) return nullptr;
    if (size > kWindowBytes) return media_.data() + offset;
    if (offset < start_ || offset + size > start_ + filled_) {
      const size_t length = static_cast<size_t>(std::min<uint64_t>(kWindowBytes, fileSize - offset));
      buffer_.resize(kWindowBytes);
      if (!vidscribe::ReadAllAt(media_.fd(), buffer_.data(), length, offset)) return media_.data() + offset;
      start_ = offset;
      filled_ = length;
    }
    return buffer_.data() + (offset - start_);
  }

 private:
  static constexpr size_t kWindowBytes = 4 << 20;
  const MappedFile& media_;
  std::vector<uint8_t> buffer_;
  uint64_t start_ = 0;
  size_t filled_ = 0;
};

// The sample's last bytes must be those the recorder saw, and a video sample
// must be whole units.
bool sampleInFile(MediaWindow& media, uint64_t offset, const JournalEntry& e, int unitLengthBytes) {
  const uint8_t* sample = media.Sample(offset, e.size);
  if (sample == nullptr) return false;
  if (e.size > 0 && SampleTailCheck(sample, e.size) != e.tailCheck) return false;
  return unitLengthBytes == 0 || unitsFill(sample, e.size, unitLengthBytes);
}

// Bytes after the samples kept that held media: a movie box that ends the
// file there (the recorder died after writing it) was no media.
uint64_t droppedAfter(const MappedFile& media, uint64_t mediaEnd) {
  const uint64_t size = static_cast<uint64_t>(media.size());
  if (size - mediaEnd >= 8 && GetU32(media.data() + mediaEnd + 4) == FourCC("moov") &&
      GetU32(media.data() + mediaEnd) == size - mediaEnd)
    return 0;
  return size - mediaEnd;
}

RecoveryResult fail(RecoveryReport& report, RecoveryResult result, const std::string& problem) {
  report.problem = problem;
  return result;
}

// Replays the journal into a writer that took the recording over; the
// samples stay where the recorder put them.
RecoveryResult rebuild(const std::string& path, JournalReader& journal, const MappedFile& media,
                       RecoveryReport& report) {
  std::string why;
  auto writer = Mp4FileWriter::TakeOver(path, why);
  if (!writer) return fail(report, RecoveryResult::Failed, why);
  MediaWindow window(media);
  JournalReplay replay(
      *writer, journal.MediaHeaderAt(),
      [&window](uint64_t at, const JournalEntry& e, int unit) { return sampleInFile(window, at, e, unit); });
  uint64_t mediaEnd = 0;
  std::vector<JournalEntry> entries;
  while (journal.NextBlock(mediaEnd, entries) && replay.ApplyBlock(mediaEnd, entries)) {
  }
  report.videoSamples = replay.VideoSamples();
  report.audioSamples = replay.AudioSamples();
  report.durationMs = replay.DurationMs();
  report.droppedBytes = droppedAfter(media, replay.MediaEnd());
  if (report.videoSamples + report.audioSamples == 0) {
    writer->Abandon();
    return fail(report, RecoveryResult::Refused,
                path + " holds no whole sample its journal names yet: nothing to rebuild");
  }
  if (!writer->KeepMediaData() || !writer->Close())
    return fail(report, RecoveryResult::Failed, "cannot write " + path + " (its journal is kept: try again)");
  return RecoveryResult::Rebuilt;
}

}  // namespace

RecoveryResult RebuildFromJournal(const std::string& path, RecoveryReport& report) {
  report = RecoveryReport();
  const std::string journalPath = JournalPathFor(path);
  struct stat info;
  if (::stat(journalPath.c_str(), &info) != 0)
    return fail(report, RecoveryResult::NoJournal,
                path + " has no journal (" + journalPath + "), so there is nothing to rebuild it from");
  std::string why;
  auto journal = JournalReader::Open(OpenFileSource(journalPath), why);
  if (!journal) return fail(report, RecoveryResult::Refused, journalPath + " cannot be used: " + why);
  const MappedFile media(path.c_str());
  if (!media.ok()) return fail(report, RecoveryResult::Failed, "cannot read " + path);
  if (media.HeldByAWriter()) return fail(report, RecoveryResult::Refused, path + " is still being recorded");
  if (!startsAsRecorded(media, journal->MediaHeaderAt()))
    return fail(report, RecoveryResult::Refused,
                path + " does not start as its journal says it was recorded (no media yet, or another file)");
  const RecoveryResult result = rebuild(path, *journal, media, report);
  if (result != RecoveryResult::Rebuilt) return result;
  // Only now, with the file on the disk: a repair cut off before this
  // point is simply run again.
  ::unlink(journalPath.c_str());
  return RecoveryResult::Rebuilt;
}

}  // namespace mp4file

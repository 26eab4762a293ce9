#include "mp4file/journal_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/file_copy.h"
#include "mp4file/byte_order.h"
#include "mp4file/mp4_log.h"

namespace mp4file {
namespace {

constexpr size_t kMaxPendingBytes = 16 << 10;

}  // namespace

std::unique_ptr<JournalWriter> JournalWriter::Create(const std::string& recordingPath, uint64_t mediaHeaderAt,
                                                     std::chrono::milliseconds interval, Claim& claim,
                                                     std::string& why) {
  const std::string path = JournalPathFor(recordingPath);
  // O_EXCL makes the check and the claim one step: two recorders of one
  // name never share a journal, and an old one is never truncated.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    claim = errno == EEXIST ? Claim::Taken : Claim::Failed;
    why = std::strerror(errno);
    return nullptr;
  }
  uint8_t header[kJournalHeaderSize];
  std::memcpy(header, kJournalMagic, sizeof kJournalMagic);
  PutU32(header + 8, kJournalVersion);
  PutU64(header + 12, mediaHeaderAt);
  if (!vidscribe::WriteAllAt(fd, header, sizeof header, 0)) {
    why = std::strerror(errno);
    ::close(fd);
    ::unlink(path.c_str());
    claim = Claim::Failed;
    return nullptr;
  }
  claim = Claim::Made;
  return std::unique_ptr<JournalWriter>(new JournalWriter(fd, path, interval));
}

JournalWriter::~JournalWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void JournalWriter::beginRecord(JournalRecord kind, TrackId track) {
  pending_.U8(static_cast<uint8_t>(kind));
  pending_.U32(track);
}

void JournalWriter::AddTrack(const WriterTrack& t) {
  if (broken_) return;
  if (t.kind == TrackKind::Video) {
    beginRecord(JournalRecord::VideoTrack, t.id);
    pending_.U32(t.timeScale);
    pending_.U16(t.width);
    pending_.U16(t.height);
    for (uint8_t v : {t.profile, t.compatibility, t.level, t.lengthSizeMinusOne}) pending_.U8(v);
  } else {
    beginRecord(JournalRecord::AudioTrack, t.id);
    pending_.U32(t.timeScale);
    pending_.U8(t.objectType);
  }
}

void JournalWriter::AddBytes(JournalRecord kind, TrackId track, const std::vector<uint8_t>& bytes) {
  if (broken_) return;
  beginRecord(kind, track);
  pending_.U16(static_cast<uint16_t>(bytes.size()));  // the writer takes no set over 64 KiB
  pending_.Bytes(bytes);
}

void JournalWriter::SetEdit(TrackId track, uint64_t delay, uint64_t mediaStart) {
  if (broken_) return;
  beginRecord(JournalRecord::Edit, track);
  pending_.U64(delay);
  pending_.U64(mediaStart);
}

void JournalWriter::AddSample(const WriterTrack& t, const uint8_t* data, uint32_t size, uint32_t duration,
                              int32_t renderingOffset, bool sync) {
  if (broken_) return;
  // The one record every frame adds: put together here and appended at once.
  uint8_t record[22];
  record[0] = static_cast<uint8_t>(JournalRecord::Sample);
  PutU32(record + 1, t.id);
  PutU32(record + 5, size);
  PutU32(record + 9, duration);
  PutU32(record + 13, static_cast<uint32_t>(renderingOffset));
  record[17] = sync ? 1 : 0;
  PutU32(record + 18, size > 0 ? SampleTailCheck(data, size) : 0);
  pending_.Bytes(record, sizeof record);
}

bool JournalWriter::Due() const {
  if (broken_ || pending_.Size() == 0) return false;
  return pending_.Size() >= kMaxPendingBytes || Clock::now() - lastCommit_ >= interval_;
}

void JournalWriter::Commit(uint64_t mediaEnd) {
  if (broken_ || pending_.Size() == 0) return;
  std::vector<uint8_t> block(kJournalBlockHeaderSize + 8);
  PutU64(block.data() + kJournalBlockHeaderSize, mediaEnd);
  block.insert(block.end(), pending_.Data().begin(), pending_.Data().end());
  const uint8_t* payload = block.data() + kJournalBlockHeaderSize;
  const size_t payloadSize = block.size() - kJournalBlockHeaderSize;
  PutU32(block.data(), static_cast<uint32_t>(payloadSize));
  PutU32(block.data() + 4, Crc32(payload, payloadSize));
  if (!vidscribe::WriteAllAt(fd_, block.data(), block.size(), end_)) {
    LogLine(LogSource::Writer,
            "cannot write the journal %s (%s): the recording goes on, but a crash from now on "
            "loses what follows",
            path_.c_str(), std::strerror(errno));
    broken_ = true;
    return;
  }
  end_ += block.size();
  pending_ = BoxWriter();
  lastCommit_ = Clock::now();
}

void JournalWriter::Remove() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (::unlink(path_.c_str()) != 0 && errno != ENOENT)
    LogLine(LogSource::Writer, "cannot remove the journal %s: %s", path_.c_str(), std::strerror(errno));
}

}  // namespace mp4file

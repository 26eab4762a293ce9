#include "mp4file/mp4_file_writer.h"

#include <sys/stat.h>

#include <algorithm>

#include "mp4file/box_writer.h"
#include "mp4file/byte_order.h"
#include "mp4file/movie_box.h"
#include "mp4file/mp4_log.h"

namespace mp4file {
namespace {

// Bounds chunks of a track that is written alone, so a reader never has to
// treat the whole media data as one chunk.
constexpr uint32_t kMaxSamplesPerChunk = 128;

std::string folderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool addDistinct(std::vector<std::vector<uint8_t>>& sets, const uint8_t* data, size_t size, size_t limit) {
  if (data == nullptr || size == 0 || size > 0xFFFF) return false;
  std::vector<uint8_t> set(data, data + size);
  if (std::find(sets.begin(), sets.end(), set) != sets.end()) return true;
  if (sets.size() >= limit) return false;
  sets.push_back(std::move(set));
  return true;
}

// Devices and pipes cannot be rebuilt, so they get no journal.
bool isOtherThanRegularFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

}  // namespace

std::vector<uint8_t> FileTypeBox() {
  BoxWriter w;
  size_t box = w.Begin(FourCC("ftyp"));
  w.U32(FourCC("isom"));
  w.U32(0x200);
  for (uint32_t brand : {FourCC("isom"), FourCC("iso2"), FourCC("avc1"), FourCC("mp41")}) w.U32(brand);
  w.End(box);
  return w.Take();
}

std::unique_ptr<Mp4FileWriter> Mp4FileWriter::Create(const std::string& path, const WriterOptions& options) {
  std::unique_ptr<Mp4FileWriter> writer(new Mp4FileWriter(options));
  // Taken over first, so the descriptor is closed on every path.
  writer->spill_ = SpillFile::Adopt(options.scratchDescriptor, "a descriptor handed in");
  // The journal is claimed before the file is truncated, so a recording
  // that can still be repaired is never overwritten.
  if ((options.journal && !writer->claimJournal(path)) || !writer->start(path)) {
    if (writer->journal_) writer->journal_->Remove();
    writer->journal_.reset();
    writer->closed_ = writer->failed_ = true;  // nothing to finish, and already reported
    return nullptr;
  }
  if (!writer->spill_) writer->openScratch();
  return writer;
}

std::unique_ptr<Mp4FileWriter> Mp4FileWriter::TakeOver(const std::string& path, std::string& why,
                                                       const WriterOptions& options) {
  std::unique_ptr<Mp4FileWriter> writer(new Mp4FileWriter(options));
  writer->spill_ = SpillFile::Adopt(options.scratchDescriptor, "a descriptor handed in");
  if (!writer->takeOver(path, why)) {
    writer->closed_ = writer->failed_ = true;
    return nullptr;
  }
  if (!writer->spill_) writer->openScratch();
  return writer;
}

void Mp4FileWriter::openScratch() {
  std::string folder = options_.scratchFolder.empty() ? folderOf(path_) : options_.scratchFolder;
  std::string why;
  spill_ = SpillFile::Create(folder, why);
  if (!spill_) {
    LogLine(LogSource::Writer, "no scratch file in %s (%s): the tables of %s stay in memory", folder.c_str(),
            why.c_str(), path_.c_str());
  }
}

bool Mp4FileWriter::claimJournal(const std::string& path) {
  if (isOtherThanRegularFile(path)) return true;
  JournalWriter::Claim claim = JournalWriter::Claim::Failed;
  std::string why;
  journal_ = JournalWriter::Create(path, FileTypeBox().size(), options_.journalEvery, claim, why);
  if (claim == JournalWriter::Claim::Taken) {
    LogLine(LogSource::Writer,
            "refusing to record over %s: %s is the journal of an earlier recording of it that "
            "was never finished; repair that recording first",
            path.c_str(), JournalPathFor(path).c_str());
    return false;
  }
  if (claim == JournalWriter::Claim::Failed) {
    LogLine(LogSource::Writer, "no journal for %s (%s): a crash would lose this recording", path.c_str(),
            why.c_str());
  }
  return true;
}

Mp4FileWriter::~Mp4FileWriter() {
  Close();
}

bool Mp4FileWriter::start(const std::string& path) {
  path_ = path;
  if (!file_.Open(path)) return false;
  std::vector<uint8_t> ftyp = FileTypeBox();
  // The media data's size is known only at close. Its header sits behind an
  // 8-byte free box so that a recording past 4 GiB can turn the pair into
  // one 16-byte header with a 64-bit size without moving any sample.
  uint8_t headers[16] = {0, 0, 0, 8, 'f', 'r', 'e', 'e', 0, 0, 0, 8, 'm', 'd', 'a', 't'};
  mediaHeaderAt_ = ftyp.size();
  return file_.Write(ftyp.data(), ftyp.size()) && file_.Write(headers, sizeof headers);
}

bool Mp4FileWriter::takeOver(const std::string& path, std::string& why) {
  path_ = path;
  inPlace_ = true;
  mediaHeaderAt_ = FileTypeBox().size();
  return file_.OpenExisting(path, mediaHeaderAt_ + 16, why);
}

TrackId Mp4FileWriter::addTrack(std::unique_ptr<WriterTrack> t) {
  if (closed_) return kInvalidTrackId;
  t->id = static_cast<TrackId>(tracks_.size() + 1);
  tracks_.push_back(std::move(t));
  if (journal_) journal_->AddTrack(*tracks_.back());
  return tracks_.back()->id;
}

TrackId Mp4FileWriter::AddH264VideoTrack(uint32_t timeScale, uint16_t width, uint16_t height, uint8_t profile,
                                         uint8_t compatibility, uint8_t level, uint8_t lengthSizeMinusOne) {
  if (timeScale == 0 || lengthSizeMinusOne > 3 || lengthSizeMinusOne == 2) return kInvalidTrackId;
  auto t = std::make_unique<WriterTrack>(spill_.get(), options_.tableBlockEntries);
  t->kind = TrackKind::Video;
  t->timeScale = timeScale;
  t->width = width;
  t->height = height;
  t->profile = profile;
  t->compatibility = compatibility;
  t->level = level;
  t->lengthSizeMinusOne = lengthSizeMinusOne;
  return addTrack(std::move(t));
}

TrackId Mp4FileWriter::AddAudioTrack(uint32_t timeScale, uint8_t objectType) {
  if (timeScale == 0) return kInvalidTrackId;
  auto t = std::make_unique<WriterTrack>(spill_.get(), options_.tableBlockEntries);
  t->kind = TrackKind::Audio;
  t->timeScale = timeScale;
  t->objectType = objectType;
  return addTrack(std::move(t));
}

WriterTrack* Mp4FileWriter::track(TrackId id, TrackKind kind) {
  if (id == kInvalidTrackId || id > tracks_.size()) return nullptr;
  WriterTrack* t = tracks_[id - 1].get();
  return t->kind == kind ? t : nullptr;
}

bool Mp4FileWriter::addParameterSet(JournalRecord kind, TrackId id, const uint8_t* data, size_t size) {
  WriterTrack* t = track(id, TrackKind::Video);
  if (t == nullptr) return false;
  const bool sequence = kind == JournalRecord::SequenceSet;
  std::vector<std::vector<uint8_t>>& sets = sequence ? t->sequenceSets : t->pictureSets;
  const size_t before = sets.size();
  if (!addDistinct(sets, data, size, sequence ? 31 : 255)) return false;
  if (journal_ && sets.size() != before) journal_->AddBytes(kind, id, sets.back());
  return true;
}

bool Mp4FileWriter::AddH264SequenceParameterSet(TrackId id, const uint8_t* data, size_t size) {
  return addParameterSet(JournalRecord::SequenceSet, id, data, size);
}

bool Mp4FileWriter::AddH264PictureParameterSet(TrackId id, const uint8_t* data, size_t size) {
  return addParameterSet(JournalRecord::PictureSet, id, data, size);
}

bool Mp4FileWriter::SetTrackESConfiguration(TrackId id, const uint8_t* data, size_t size) {
  WriterTrack* t = track(id, TrackKind::Audio);
  if (t == nullptr || (data == nullptr && size != 0) || size > 0xFFFF) return false;
  std::vector<uint8_t> config(data, data + size);
  if (journal_ && config != t->esConfiguration)
    journal_->AddBytes(JournalRecord::EsConfiguration, id, config);
  t->esConfiguration = std::move(config);
  return true;
}

bool Mp4FileWriter::SetTrackEdit(TrackId id, uint64_t delay, uint64_t mediaStart) {
  WriterTrack* t = id >= 1 && id <= tracks_.size() ? tracks_[id - 1].get() : nullptr;
  if (t == nullptr) return false;
  if (journal_ && (delay != t->editDelay || mediaStart != t->editMediaStart))
    journal_->SetEdit(id, delay, mediaStart);
  t->editDelay = delay;
  t->editMediaStart = mediaStart;
  return true;
}

bool Mp4FileWriter::WriteSample(TrackId id, const uint8_t* data, uint32_t size, uint32_t duration,
                                int32_t renderingOffset, bool sync) {
  if (closed_ || failed_) return false;
  WriterTrack* t = id >= 1 && id <= tracks_.size() ? tracks_[id - 1].get() : nullptr;
  if (t == nullptr || (data == nullptr && size != 0) || pendingMedia_ != 0) return false;
  uint64_t at = file_.Position();
  if (!file_.Write(data, size)) {
    LogLine(LogSource::Writer, "cannot write a sample to %s", path_.c_str());
    failed_ = true;
    return false;
  }
  if (!addSample(*t, at, size, duration, renderingOffset, sync)) return false;
  if (journal_) {
    journal_->AddSample(*t, data, size, duration, renderingOffset, sync);
    if (journal_->Due()) commitJournal();
  }
  return !failed_;
}

bool Mp4FileWriter::NoteSample(TrackId id, uint32_t size, uint32_t duration, int32_t renderingOffset,
                               bool sync) {
  if (closed_ || failed_ || !inPlace_) return false;
  WriterTrack* t = id >= 1 && id <= tracks_.size() ? tracks_[id - 1].get() : nullptr;
  if (t == nullptr) return false;
  if (!addSample(*t, file_.Position() + pendingMedia_, size, duration, renderingOffset, sync)) return false;
  pendingMedia_ += size;
  return true;
}

bool Mp4FileWriter::KeepMediaData() {
  if (closed_ || failed_ || !inPlace_) return false;
  if (!file_.KeepExisting(pendingMedia_)) {
    failed_ = true;
    return false;
  }
  pendingMedia_ = 0;
  mediaKept_ = true;
  return true;
}

bool Mp4FileWriter::addSample(WriterTrack& t, uint64_t at, uint32_t size, uint32_t duration,
                              int32_t renderingOffset, bool sync) {
  bool newChunk = lastTrack_ != t.id || t.table.SamplesInLastChunk() >= kMaxSamplesPerChunk;
  // The scratch file has logged why a table could not grow.
  if (!t.table.Add(size, duration, renderingOffset, sync, at, newChunk)) {
    failed_ = true;
    return false;
  }
  lastTrack_ = t.id;
  return true;
}

// The samples a block names must be in the file before the block is: the
// write buffer goes out first. A buffer that cannot go out fails the
// recording, and its samples never reach the journal.
void Mp4FileWriter::commitJournal() {
  if (!file_.Flush()) {
    LogLine(LogSource::Writer, "cannot write a sample to %s", path_.c_str());
    failed_ = true;
    return;
  }
  journal_->Commit(file_.Position());
}

// A complete file needs no journal; one that could not be finished keeps
// it, so the recording can still be rebuilt once the cause is gone.
void Mp4FileWriter::finishJournal() {
  if (!journal_) return;
  if (failed_) {
    LogLine(LogSource::Writer, "the journal %s is kept: %s can be rebuilt from it", journal_->Path().c_str(),
            path_.c_str());
  } else {
    journal_->Remove();
  }
  journal_.reset();
}

bool Mp4FileWriter::finishMediaData() {
  uint64_t start = mediaHeaderAt_ + 8;  // the media data header proper
  uint64_t size = file_.Position() - start;
  // All 16 bytes, whichever form: a file taken over may hold either.
  uint8_t header[16] = {0, 0, 0, 8, 'f', 'r', 'e', 'e', 0, 0, 0, 0, 'm', 'd', 'a', 't'};
  if (size <= 0xFFFFFFFFu) {
    PutU32(header + 8, static_cast<uint32_t>(size));
  } else {
    size += 8;  // the 64-bit header takes over the free box
    PutU32(header, 1);
    PutU32(header + 4, FourCC("mdat"));
    PutU64(header + 8, size);
  }
  return file_.WriteAt(mediaHeaderAt_, header, 16);
}

bool Mp4FileWriter::Close() {
  if (closed_) return !failed_;
  closed_ = true;
  if (pendingMedia_ != 0) failed_ = true;       // tables would point at bytes never kept
  if (inPlace_ && !mediaKept_) failed_ = true;  // a movie box would land on the samples
  for (auto& t : tracks_) {
    if (!t->table.Finish()) failed_ = true;
  }
  // Everything the movie box will say goes into the journal first, so a
  // crash while it is written still leaves the whole recording rebuildable.
  if (!failed_ && journal_) commitJournal();
  if (!failed_ && !finishMediaData()) failed_ = true;
  if (!failed_) {
    uint64_t movieAt = file_.Position();
    if (!WriteMovieBox(file_, tracks_)) {
      // Half a movie box would still look like the start of one.
      file_.DiscardFrom(movieAt);
      failed_ = true;
    }
  }
  // A file taken over had a recording in it: it is not finished until it is
  // on the disk, as whoever removes the journal next relies on.
  if (!failed_ && inPlace_ && !file_.Sync()) failed_ = true;
  if (!file_.Close()) failed_ = true;
  if (failed_) LogLine(LogSource::Writer, "could not finish %s", path_.c_str());
  finishJournal();
  tracks_.clear();
  spill_.reset();
  return !failed_;
}

void Mp4FileWriter::Abandon() {
  if (closed_) return;
  closed_ = failed_ = true;
  file_.Close();
  journal_.reset();  // kept on disk: what was recorded can still be rebuilt
  tracks_.clear();
  spill_.reset();
}

size_t Mp4FileWriter::TableMemoryBytes() const {
  size_t bytes = 0;
  for (const auto& t : tracks_) bytes += t->table.MemoryBytes();
  return bytes;
}

}  // namespace mp4file

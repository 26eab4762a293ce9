#pragma once
// Writes an MP4 file as samples arrive: sample data goes straight to the
// media data box, the tables keep one block per list in memory and the rest
// in an unlinked scratch file next to the recording, and Close streams the
// movie box out of them. A file that is never closed has no movie box and
// does not pass for a finished recording; with a journal (WriterOptions) it
// can still be rebuilt (recovery.h).
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mp4file/journal_writer.h"
#include "mp4file/mp4_types.h"
#include "mp4file/output_file.h"
#include "mp4file/spill_file.h"
#include "mp4file/writer_track.h"

namespace mp4file {

// The file type box every file of this writer starts with.
std::vector<uint8_t> FileTypeBox();

struct WriterOptions {
  // Table entries per list kept in memory before a block moves out.
  size_t tableBlockEntries = kTableBlockEntries;
  // Where the scratch file is made; empty means the recording's folder.
  std::string scratchFolder;
  // Tests: an open read/write descriptor to use as the scratch file (taken
  // over), so its writes can be made to fail.
  int scratchDescriptor = -1;
  // Keep a journal beside the file (PATH.journal) from which a recording
  // cut off by a crash can be rebuilt; Close removes it once the file is
  // complete. The file itself is the same byte for byte. Create refuses a
  // path whose journal is still there: that recording can be repaired.
  bool journal = false;
  // How long journal records gather before they go out as a block (tests:
  // zero, a block per sample).
  std::chrono::milliseconds journalEvery{500};
};

class Mp4FileWriter {
 public:
  // When no scratch file can be made the tables stay in memory (logged): the
  // recording matters more than its memory bound.
  static std::unique_ptr<Mp4FileWriter> Create(const std::string& path,
                                               const WriterOptions& options = WriterOptions());
  // Finishing a recording whose writer died, where it lies: its file type
  // box and media data headers stay, the samples are noted (NoteSample) and
  // kept where they are (KeepMediaData), and Close writes the movie box
  // behind them and waits until the file is on the disk. Nothing is written
  // before KeepMediaData, so a writer given up (Abandon) leaves the file as
  // it was. No journal is kept (options.journal is ignored). Null, with why
  // in one line, when the file cannot be written or someone else writes it.
  static std::unique_ptr<Mp4FileWriter> TakeOver(const std::string& path, std::string& why,
                                                 const WriterOptions& options = WriterOptions());
  ~Mp4FileWriter();
  Mp4FileWriter(const Mp4FileWriter&) = delete;
  Mp4FileWriter& operator=(const Mp4FileWriter&) = delete;

  // lengthSizeMinusOne is 3 for the four-byte length fields samples carry.
  TrackId AddH264VideoTrack(uint32_t timeScale, uint16_t width, uint16_t height, uint8_t profile,
                            uint8_t compatibility, uint8_t level, uint8_t lengthSizeMinusOne);
  // Each distinct set is stored once, however often a stream repeats it.
  bool AddH264SequenceParameterSet(TrackId track, const uint8_t* data, size_t size);
  bool AddH264PictureParameterSet(TrackId track, const uint8_t* data, size_t size);

  TrackId AddAudioTrack(uint32_t timeScale, uint8_t objectType);
  bool SetTrackESConfiguration(TrackId track, const uint8_t* data, size_t size);

  // Where the track starts in the presentation: delay (movie time scale,
  // ms) of nothing first, then the media from mediaStart (track time scale)
  // on. Written as an edit list; without one the track starts at 0 with its
  // first sample.
  bool SetTrackEdit(TrackId track, uint64_t delay, uint64_t mediaStart);

  // duration and renderingOffset are in the track's time scale.
  bool WriteSample(TrackId track, const uint8_t* data, uint32_t size, uint32_t duration,
                   int32_t renderingOffset, bool sync);

  // A writer that took a file over: a sample already in the file, noted in
  // the tables as if written. KeepMediaData then keeps the bytes of every
  // sample noted and drops whatever follows them.
  bool NoteSample(TrackId track, uint32_t size, uint32_t duration, int32_t renderingOffset, bool sync);
  bool KeepMediaData();

  // Writes the movie box and closes the file; false when anything on the way
  // failed. Further calls do nothing and return the same result.
  bool Close();
  // Closes without writing anything more (what is buffered goes out; a
  // journal stays on disk).
  void Abandon();

  size_t TableMemoryBytes() const;

 private:
  explicit Mp4FileWriter(const WriterOptions& options) : options_(options) {}
  bool start(const std::string& path);
  bool takeOver(const std::string& path, std::string& why);
  void openScratch();
  WriterTrack* track(TrackId id, TrackKind kind);
  TrackId addTrack(std::unique_ptr<WriterTrack> track);
  bool finishMediaData();
  bool claimJournal(const std::string& path);
  bool addParameterSet(JournalRecord kind, TrackId id, const uint8_t* data, size_t size);
  bool addSample(WriterTrack& track, uint64_t at, uint32_t size, uint32_t duration, int32_t renderingOffset,
                 bool sync);
  void commitJournal();
  void finishJournal();

  WriterOptions options_;
  OutputFile file_;
  std::string path_;
  std::unique_ptr<SpillFile> spill_;  // outlives the tracks, whose tables use it
  std::vector<std::unique_ptr<WriterTrack>> tracks_;
  std::unique_ptr<JournalWriter> journal_;
  uint64_t pendingMedia_ = 0;   // bytes of noted samples not yet kept
  uint64_t mediaHeaderAt_ = 0;  // 16 bytes reserved: a free box, then the media data header
  TrackId lastTrack_ = kInvalidTrackId;
  bool inPlace_ = false;    // took over a file whose media data is in place
  bool mediaKept_ = false;  // KeepMediaData has run: the movie box may follow
  bool failed_ = false;
  bool closed_ = false;
};

}  // namespace mp4file

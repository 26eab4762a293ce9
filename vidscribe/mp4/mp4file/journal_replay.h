#pragma once
// Replays a journal into a writer that rebuilds the recording: tracks,
// parameter sets and edits as they were set, samples noted in the tables
// (their bytes are copied in afterwards). Each block must agree with
// itself (its samples end where it says) and each sample with the file
// (SampleCheck); the first that does not ends the replay, so the rebuilt
// file holds only samples the recording really wrote.
#include <cstdint>
#include <functional>
#include <vector>

#include "mp4file/journal_format.h"
#include "mp4file/mp4_file_writer.h"

namespace mp4file {

class JournalReplay {
 public:
  // Whether the file holds the sample a record names at offset: for video,
  // unitLengthBytes is the size of its unit length fields, else 0.
  using SampleCheck = std::function<bool(uint64_t offset, const JournalEntry& sample, int unitLengthBytes)>;

  // Samples start right behind the 16 bytes of media data headers.
  JournalReplay(Mp4FileWriter& writer, uint64_t mediaHeaderAt, SampleCheck check)
      : writer_(writer), mediaEnd_(mediaHeaderAt + 16), check_(std::move(check)) {}

  // False when the block, or a sample in it, disagrees; what came before
  // it stays applied.
  bool ApplyBlock(uint64_t mediaEnd, const std::vector<JournalEntry>& entries);

  // Where the samples replayed so far end in the recording.
  uint64_t MediaEnd() const { return mediaEnd_; }
  uint32_t VideoSamples() const { return videoSamples_; }
  uint32_t AudioSamples() const { return audioSamples_; }
  // How long the replayed recording plays, in ms (its longest track).
  uint64_t DurationMs() const;

 private:
  bool apply(const JournalEntry& e);
  bool addTrack(const JournalEntry& e);
  bool noteSample(const JournalEntry& e);

  struct Track {
    TrackKind kind;
    int unitLengthBytes;
    uint32_t timeScale;
    uint64_t ticks = 0;
    uint64_t delayMs = 0;
  };
  Mp4FileWriter& writer_;
  uint64_t mediaEnd_;
  SampleCheck check_;
  std::vector<Track> tracks_;  // by id - 1
  uint32_t videoSamples_ = 0;
  uint32_t audioSamples_ = 0;
};

}  // namespace mp4file

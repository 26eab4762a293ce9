#pragma once
// Writes a recording's journal (see journal_format.h). Records gather in
// memory and go out as one block when the writer commits; the writer
// commits once the journal is due: half a second of wall-clock time (the
// interval given) or 16 KiB of records since the last block. So a crash
// costs at most what the recorder took in its last half second, and memory
// holds only that much of the journal. The interval is wall-clock time, not
// media time: a live recording gets both at once, and a recording fed faster
// than it plays (a copy of a file) can be made again from its source, so it
// is not made to flush its file for every half second of media.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mp4file/box_writer.h"
#include "mp4file/journal_format.h"
#include "mp4file/writer_track.h"

namespace mp4file {

class JournalWriter {
 public:
  enum class Claim { Made, Taken, Failed };
  // Makes the journal of recordingPath. One that is already there belongs
  // to an earlier recording of that name that was never finished nor
  // repaired: it is left alone (Taken). Failed carries the reason in why.
  static std::unique_ptr<JournalWriter> Create(const std::string& recordingPath, uint64_t mediaHeaderAt,
                                               std::chrono::milliseconds interval, Claim& claim,
                                               std::string& why);
  // Closes the journal and leaves it on disk.
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  void AddTrack(const WriterTrack& track);
  void AddBytes(JournalRecord kind, TrackId track, const std::vector<uint8_t>& bytes);
  void SetEdit(TrackId track, uint64_t delay, uint64_t mediaStart);
  void AddSample(const WriterTrack& track, const uint8_t* data, uint32_t size, uint32_t duration,
                 int32_t renderingOffset, bool sync);

  bool Due() const;
  // Writes the records gathered since the last block as one block. The
  // caller has put every sample below mediaEnd into the file first. A
  // journal that cannot be written stops here (logged once): the recording
  // goes on, but a crash after this point loses what follows.
  void Commit(uint64_t mediaEnd);
  // Deletes the journal: the recording it describes is complete.
  void Remove();
  const std::string& Path() const { return path_; }

 private:
  using Clock = std::chrono::steady_clock;
  JournalWriter(int fd, std::string path, std::chrono::milliseconds interval)
      : fd_(fd), path_(std::move(path)), interval_(interval), lastCommit_(Clock::now()) {}
  void beginRecord(JournalRecord kind, TrackId track);

  int fd_;
  std::string path_;
  uint64_t end_ = kJournalHeaderSize;
  BoxWriter pending_;  // used as a plain big-endian appender
  std::chrono::milliseconds interval_;
  Clock::time_point lastCommit_;
  bool broken_ = false;
};

}  // namespace mp4file

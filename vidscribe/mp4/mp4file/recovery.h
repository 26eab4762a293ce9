#pragma once
// Rebuilds a recording whose writer died before Close (a crash, a kill, a
// power cut) from its media data and its journal: the samples the journal
// names and the file really holds keep their bytes, and get the movie box a
// clean Close would have written. With the whole journal (the recorder
// died while writing the movie box) the result is the very file Close
// makes.
//
// The new file is written beside the recording (PATH.repairing) and renamed
// over it only when complete, so a repair cut off itself leaves the
// recording and its journal as they were. The journal goes last.
#include <cstdint>
#include <string>

namespace mp4file {

struct RecoveryReport {
  uint32_t videoSamples = 0;
  uint32_t audioSamples = 0;
  uint64_t durationMs = 0;
  // Bytes of the recording past the last sample kept (samples written after
  // the journal's last block, a sample cut short).
  uint64_t droppedBytes = 0;
  // One line saying why, when nothing was rebuilt.
  std::string problem;
};

enum class RecoveryResult { Rebuilt, NoJournal, Refused, Failed };

RecoveryResult RebuildFromJournal(const std::string& path, RecoveryReport& report);

}  // namespace mp4file

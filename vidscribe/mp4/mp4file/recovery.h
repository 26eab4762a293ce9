#pragma once
// Rebuilds a recording whose writer died before Close (a crash, a kill, a
// power cut) from its media data and its journal: the samples the journal
// names and the file really holds keep their bytes, and get the movie box a
// clean Close would have written. With the whole journal (the recorder
// died while writing the movie box) the result is the very file Close
// makes.
//
// The repair works where the recording lies, and writes nothing until every
// sample it keeps has been checked. Then it cuts off what follows the last
// of them, appends the movie box, sets the media data header and waits for
// the disk; the journal goes last. After each of those steps the journal
// still rebuilds the same file, so a repair that is cut off itself is
// simply run again. No sample moves: the repair needs no room for a second
// copy of the recording (a full disk is a common way for one to die) and
// takes about as long as reading it.
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

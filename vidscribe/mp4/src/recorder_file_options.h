#pragma once
// The options Mp4Writer creates its files with: by default a journal, so a
// recording cut off by a crash can be rebuilt. Internal: the benchmarks
// turn the journal off to measure what it costs.
#include "mp4file/mp4_file_writer.h"

namespace vidscribe {

mp4file::WriterOptions& RecorderFileOptions();

}  // namespace vidscribe

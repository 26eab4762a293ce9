#pragma once
// The per-track tables a writer keeps while recording: everything the movie
// box will need, and nothing of the sample data itself. Runs of equal
// durations and rendering offsets are merged as they arrive. Each list keeps
// at most one block in memory and moves full blocks to the writer's scratch
// file, so a recording of any length costs the same memory; the figures the
// movie box needs up front (counts, totals, largest values) are kept as
// running values, so nothing has to look at a whole list before writing.
#include <cstddef>
#include <cstdint>

#include "mp4file/spilled_list.h"

namespace mp4file {

struct Run {
  uint32_t count;
  uint32_t value;
};

struct ChunkRun {
  uint32_t firstChunk;  // 1-based, as the sample-to-chunk table counts
  uint32_t samplesPerChunk;
};

// Entries per list block: 16-32 KiB per list, at most 192 KiB per track,
// and a block leaves for the scratch file every few minutes of recording.
constexpr size_t kTableBlockEntries = 4096;

class SampleTable {
 public:
  // Without a scratch file every list stays in memory.
  explicit SampleTable(SpillFile* spill = nullptr, size_t blockEntries = kTableBlockEntries);

  // newChunk starts a chunk at fileOffset; otherwise the sample follows the
  // previous one of this track directly in the file. False when a block
  // could not be moved to the scratch file; the table is then unusable.
  bool Add(uint32_t size, uint32_t duration, int32_t renderingOffset, bool sync, uint64_t fileOffset,
           bool newChunk);
  // Folds the open chunk into the chunk runs before the table is written out.
  bool Finish() { return closeChunk(); }

  uint32_t SampleCount() const { return static_cast<uint32_t>(sizes_.Count()); }
  uint32_t SamplesInLastChunk() const { return lastChunkSamples_; }
  uint64_t TotalDuration() const { return totalDuration_; }
  uint64_t TotalBytes() const { return totalBytes_; }
  uint32_t MaxSampleSize() const { return maxSize_; }
  bool HasRenderingOffsets() const { return anyOffset_; }
  bool HasNegativeOffsets() const { return anyNegativeOffset_; }
  bool AllSync() const { return syncSamples_.Count() == sizes_.Count(); }
  // Chunks are written in file order, so the last one lies furthest out.
  uint64_t LargestChunkOffset() const { return lastChunkOffset_; }

  const SpilledList<uint32_t>& Sizes() const { return sizes_; }
  const SpilledList<Run>& Durations() const { return durations_; }
  const SpilledList<Run>& RenderingOffsets() const { return offsets_; }
  const SpilledList<uint32_t>& SyncSamples() const { return syncSamples_; }
  const SpilledList<uint64_t>& ChunkOffsets() const { return chunkOffsets_; }
  const SpilledList<ChunkRun>& ChunkRuns() const { return chunkRuns_; }

  // Bytes the tables hold in memory, for the benchmarks' memory figures.
  size_t MemoryBytes() const;

 private:
  bool closeChunk();

  SpilledList<uint32_t> sizes_;
  SpilledList<Run> durations_;
  SpilledList<Run> offsets_;  // values are the int32 offsets' bit patterns
  SpilledList<uint32_t> syncSamples_;
  SpilledList<uint64_t> chunkOffsets_;
  SpilledList<ChunkRun> chunkRuns_;  // complete chunks only; the open one is lastChunkSamples_
  uint32_t lastChunkSamples_ = 0;
  uint64_t lastChunkOffset_ = 0;
  uint64_t totalDuration_ = 0;
  uint64_t totalBytes_ = 0;
  uint32_t maxSize_ = 0;
  bool anyOffset_ = false;
  bool anyNegativeOffset_ = false;
  bool failed_ = false;
};

}  // namespace mp4file

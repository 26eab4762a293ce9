#pragma once
// The per-track tables a writer keeps while recording: everything the movie
// box will need, and nothing of the sample data itself. Runs of equal
// durations and rendering offsets are merged as they arrive, so a steady
// stream costs about one size word per sample.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mp4file {

struct Run {
  uint32_t count;
  uint32_t value;
};

struct ChunkRun {
  uint32_t firstChunk;  // 1-based, as the sample-to-chunk table counts
  uint32_t samplesPerChunk;
};

class SampleTable {
 public:
  // newChunk starts a chunk at fileOffset; otherwise the sample follows the
  // previous one of this track directly in the file.
  void Add(uint32_t size, uint32_t duration, int32_t renderingOffset, bool sync, uint64_t fileOffset,
           bool newChunk);
  // Folds the open chunk into the chunk runs before the table is written out.
  void Finish() { closeChunk(); }

  uint32_t SampleCount() const { return static_cast<uint32_t>(sizes_.size()); }
  uint32_t SamplesInLastChunk() const { return lastChunkSamples_; }
  uint64_t TotalDuration() const { return totalDuration_; }
  uint32_t MaxSampleSize() const { return maxSize_; }
  bool HasRenderingOffsets() const { return anyOffset_; }
  bool HasNegativeOffsets() const { return anyNegativeOffset_; }
  bool AllSync() const { return syncSamples_.size() == sizes_.size(); }
  uint64_t LargestChunkOffset() const { return chunkOffsets_.empty() ? 0 : chunkOffsets_.back(); }

  const std::vector<uint32_t>& Sizes() const { return sizes_; }
  const std::vector<Run>& Durations() const { return durations_; }
  const std::vector<Run>& RenderingOffsets() const { return offsets_; }
  const std::vector<uint32_t>& SyncSamples() const { return syncSamples_; }
  const std::vector<uint64_t>& ChunkOffsets() const { return chunkOffsets_; }
  const std::vector<ChunkRun>& ChunkRuns() const { return chunkRuns_; }

  // Bytes held by the tables, for the memory figures of the benchmarks.
  size_t MemoryBytes() const;

 private:
  void closeChunk();

  std::vector<uint32_t> sizes_;
  std::vector<Run> durations_;
  std::vector<Run> offsets_;  // values are the int32 offsets' bit patterns
  std::vector<uint32_t> syncSamples_;
  std::vector<uint64_t> chunkOffsets_;
  std::vector<ChunkRun> chunkRuns_;  // complete chunks only; the open one is lastChunkSamples_
  uint32_t lastChunkSamples_ = 0;
  uint64_t totalDuration_ = 0;
  uint32_t maxSize_ = 0;
  bool anyOffset_ = false;
  bool anyNegativeOffset_ = false;
};

}  // namespace mp4file

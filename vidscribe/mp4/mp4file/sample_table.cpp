#include "mp4file/sample_table.h"

namespace mp4file {
namespace {

void appendRun(std::vector<Run>& runs, uint32_t value) {
  if (!runs.empty() && runs.back().value == value) {
    ++runs.back().count;
  } else {
    runs.push_back({1, value});
  }
}

}  // namespace

void SampleTable::Add(uint32_t size, uint32_t duration, int32_t renderingOffset, bool sync,
                      uint64_t fileOffset, bool newChunk) {
  if (newChunk || chunkOffsets_.empty()) {
    closeChunk();
    chunkOffsets_.push_back(fileOffset);
  }
  ++lastChunkSamples_;
  sizes_.push_back(size);
  appendRun(durations_, duration);
  appendRun(offsets_, static_cast<uint32_t>(renderingOffset));
  if (renderingOffset != 0) anyOffset_ = true;
  if (renderingOffset < 0) anyNegativeOffset_ = true;
  if (sync) syncSamples_.push_back(static_cast<uint32_t>(sizes_.size()));
  totalDuration_ += duration;
  if (size > maxSize_) maxSize_ = size;
}

void SampleTable::closeChunk() {
  if (lastChunkSamples_ == 0) return;
  // A run of the sample-to-chunk table covers every chunk up to the next
  // run, so only a change in samples per chunk starts a new one.
  if (chunkRuns_.empty() || chunkRuns_.back().samplesPerChunk != lastChunkSamples_) {
    chunkRuns_.push_back({static_cast<uint32_t>(chunkOffsets_.size()), lastChunkSamples_});
  }
  lastChunkSamples_ = 0;
}

size_t SampleTable::MemoryBytes() const {
  return sizes_.capacity() * sizeof(uint32_t) + durations_.capacity() * sizeof(Run) +
         offsets_.capacity() * sizeof(Run) + syncSamples_.capacity() * sizeof(uint32_t) +
         chunkOffsets_.capacity() * sizeof(uint64_t) + chunkRuns_.capacity() * sizeof(ChunkRun);
}

}  // namespace mp4file

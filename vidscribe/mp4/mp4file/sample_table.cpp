#include "mp4file/sample_table.h"

namespace mp4file {
namespace {

bool appendRun(SpilledList<Run>& runs, uint32_t value) {
  if (runs.Count() > 0 && runs.Back().value == value) {
    ++runs.Back().count;
    return true;
  }
  return runs.Push({1, value});
}

}  // namespace

SampleTable::SampleTable(SpillFile* spill, size_t blockEntries)
    : sizes_(spill, blockEntries),
      durations_(spill, blockEntries),
      offsets_(spill, blockEntries),
      syncSamples_(spill, blockEntries),
      chunkOffsets_(spill, blockEntries),
      chunkRuns_(spill, blockEntries) {}

bool SampleTable::Add(uint32_t size, uint32_t duration, int32_t renderingOffset, bool sync,
                      uint64_t fileOffset, bool newChunk) {
  if (failed_) return false;
  if (newChunk || chunkOffsets_.Count() == 0) {
    failed_ = !closeChunk() || !chunkOffsets_.Push(fileOffset);
    lastChunkOffset_ = fileOffset;
  }
  failed_ = failed_ || !sizes_.Push(size) || !appendRun(durations_, duration) ||
            !appendRun(offsets_, static_cast<uint32_t>(renderingOffset)) ||
            (sync && !syncSamples_.Push(static_cast<uint32_t>(sizes_.Count())));
  if (failed_) return false;
  ++lastChunkSamples_;
  if (renderingOffset != 0) anyOffset_ = true;
  if (renderingOffset < 0) anyNegativeOffset_ = true;
  totalDuration_ += duration;
  totalBytes_ += size;
  if (size > maxSize_) maxSize_ = size;
  return true;
}

bool SampleTable::closeChunk() {
  if (failed_) return false;
  if (lastChunkSamples_ == 0) return true;
  // A run of the sample-to-chunk table covers every chunk up to the next
  // run, so only a change in samples per chunk starts a new one.
  if (chunkRuns_.Count() == 0 || chunkRuns_.Back().samplesPerChunk != lastChunkSamples_) {
    if (!chunkRuns_.Push({static_cast<uint32_t>(chunkOffsets_.Count()), lastChunkSamples_})) {
      failed_ = true;
      return false;
    }
  }
  lastChunkSamples_ = 0;
  return true;
}

size_t SampleTable::MemoryBytes() const {
  return sizes_.MemoryBytes() + durations_.MemoryBytes() + offsets_.MemoryBytes() +
         syncSamples_.MemoryBytes() + chunkOffsets_.MemoryBytes() + chunkRuns_.MemoryBytes();
}

}  // namespace mp4file

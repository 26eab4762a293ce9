#pragma once
// A list that only grows, with at most one block of entries in memory. When
// the block is full and another entry comes, the block moves to the scratch
// file and its memory is reused. Blocks are chained in the file (each starts
// with the position of the next), so the list keeps three numbers however
// many blocks it has. The newest entry always stays in memory, so a run
// being counted up can still change. Without a scratch file the list simply
// stays in memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "mp4file/spill_file.h"

namespace mp4file {

template <typename T>
class SpilledList {
  static_assert(std::is_trivially_copyable<T>::value, "entries go to the scratch file as raw bytes");

 public:
  SpilledList(SpillFile* spill, size_t blockEntries)
      : spill_(spill), blockEntries_(std::max<size_t>(blockEntries, 1)) {}

  // False when a full block could not be moved out; the list is then broken.
  bool Push(const T& entry) {
    if (failed_) return false;
    if (spill_ != nullptr && tail_.size() >= blockEntries_ && !spillTail()) return false;
    tail_.push_back(entry);
    return true;
  }

  uint64_t Count() const { return spilledBlocks_ * blockEntries_ + tail_.size(); }
  // Only when Count() > 0.
  T& Back() { return tail_.back(); }
  const T& Back() const { return tail_.back(); }

  // Calls visit(const T* entries, size_t count) for every entry in order, a
  // block at a time; false when a block cannot be read back (logged by the
  // scratch file) or visit returns false.
  template <typename Visit>
  bool ForEachPiece(Visit visit) const {
    if (spilledBlocks_ > 0) {
      std::vector<T> block(blockEntries_);
      uint64_t at = firstBlockAt_;
      for (uint64_t i = 0; i < spilledBlocks_; ++i) {
        uint64_t next = 0;
        if (!spill_->ReadAt(at, &next, sizeof next) ||
            !spill_->ReadAt(at + sizeof next, block.data(), blockBytes()) ||
            !visit(block.data(), block.size()))
          return false;
        at = next;
      }
    }
    return tail_.empty() || visit(tail_.data(), tail_.size());
  }

  size_t MemoryBytes() const { return tail_.capacity() * sizeof(T); }

 private:
  size_t blockBytes() const { return blockEntries_ * sizeof(T); }

  bool spillTail() {
    const uint64_t noNext = 0;
    uint64_t at = 0, dataAt = 0;
    bool ok = spill_->Append(&noNext, sizeof noNext, at) &&
              spill_->Append(tail_.data(), blockBytes(), dataAt) &&
              (spilledBlocks_ == 0 || spill_->WriteAt(lastBlockAt_, &at, sizeof at));
    if (!ok) {
      failed_ = true;
      return false;
    }
    if (spilledBlocks_ == 0) firstBlockAt_ = at;
    lastBlockAt_ = at;
    ++spilledBlocks_;
    tail_.clear();  // keeps its capacity for the next block
    return true;
  }

  SpillFile* spill_;
  size_t blockEntries_;
  std::vector<T> tail_;
  uint64_t spilledBlocks_ = 0;
  uint64_t firstBlockAt_ = 0;
  uint64_t lastBlockAt_ = 0;
  bool failed_ = false;
};

}  // namespace mp4file

#pragma once
// Sample-table inputs for checking movie boxes byte for byte: tracks and the
// table entries a writer would add for them, drawn from a fixed
// pseudo-random sequence so every build sees the same input. Chunk offsets
// are made up (nothing is written), which lets one shape lie past 4 GiB.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mp4file/writer_track.h"

namespace mp4test {

struct TableShape {
  struct Track {
    mp4file::TrackKind kind;
    uint32_t timeScale;
  };
  struct Entry {
    size_t track;
    uint32_t size;
    uint32_t duration;
    int32_t offset;
    bool sync;
    uint64_t fileOffset;
    bool newChunk;
  };
  const char* name;
  std::vector<Track> tracks;
  std::vector<Entry> entries;
};

class ShapeRandom {
 public:
  explicit ShapeRandom(uint64_t seed) : state_(seed) {}
  uint32_t Below(uint32_t n) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>((state_ >> 33) % n);
  }

 private:
  uint64_t state_;
};

// Adds entries the way the writer chunks them: a chunk ends when the other
// track writes or after 128 samples.
class ShapeBuilder {
 public:
  ShapeBuilder(TableShape& shape, uint64_t start) : shape_(shape), position_(start) {}
  void Add(size_t track, uint32_t size, uint32_t duration, int32_t offset, bool sync,
           bool forceChunk = false) {
    bool newChunk = forceChunk || track != lastTrack_ || inChunk_ >= 128;
    inChunk_ = newChunk ? 1 : inChunk_ + 1;
    if (newChunk) position_ += gap_;  // room for media that is not in the tables
    shape_.entries.push_back({track, size, duration, offset, sync, position_, newChunk});
    position_ += size;
    lastTrack_ = track;
  }
  void SetGap(uint32_t gap) { gap_ = gap; }

 private:
  TableShape& shape_;
  uint64_t position_;
  size_t lastTrack_ = SIZE_MAX;
  uint32_t inChunk_ = 0;
  uint32_t gap_ = 0;
};

inline TableShape BFramesShape() {
  TableShape s{"video with B-frames", {{mp4file::TrackKind::Video, 90000}}, {}};
  ShapeRandom r(1);
  ShapeBuilder b(s, 48);
  const int32_t pattern[3] = {7200, 0, 3600};
  for (uint32_t i = 0; i < 1500; ++i) {
    b.SetGap(r.Below(5000));
    b.Add(0, 200 + r.Below(60000), i % 97 == 96 ? 3000 : 3600, pattern[i % 3], i % 50 == 0, r.Below(3) == 0);
  }
  return s;
}

inline TableShape AudioShape() {
  TableShape s{"all-sync audio", {{mp4file::TrackKind::Audio, 44100}}, {}};
  ShapeRandom r(2);
  ShapeBuilder b(s, 48);
  for (uint32_t i = 0; i < 2400; ++i) {
    uint32_t duration = r.Below(30) == 0 ? 1000 + r.Below(48) : 1024;
    b.Add(0, 150 + r.Below(250), duration, 0, true, r.Below(40) == 0);
  }
  return s;
}

// Video and audio interleaved by time, with video pausing now and then, so
// chunks hold many different sample counts.
inline TableShape MixedShape() {
  TableShape s{"mixed chunks", {{mp4file::TrackKind::Video, 90000}, {mp4file::TrackKind::Audio, 44100}}, {}};
  ShapeRandom r(3);
  ShapeBuilder b(s, 48);
  const int32_t pattern[3] = {7200, 0, 3600};
  uint64_t videoMs = 0, audioSamples = 0;
  uint32_t frame = 0;
  while (frame < 1200) {
    if (videoMs * 44100 <= audioSamples * 1000) {
      bool paused = (videoMs / 4000) % 5 == 4;
      if (!paused) {
        b.Add(0, 500 + r.Below(30000), 3600, pattern[frame % 3], frame % 50 == 0);
        ++frame;
      }
      videoMs += 40;
    } else {
      b.Add(1, 200 + r.Below(200), 1024, 0, true);
      audioSamples += 1024;
    }
  }
  return s;
}

// Chunks that cross 4 GiB, a track that never got a sample, and a track
// whose duration needs 64-bit header fields.
inline TableShape WideShape() {
  TableShape s{"offsets past 4 GiB",
               {{mp4file::TrackKind::Audio, 48000},
                {mp4file::TrackKind::Video, 90000},
                {mp4file::TrackKind::Audio, 1}},
               {}};
  ShapeRandom r(4);
  ShapeBuilder b(s, 0xFFFFFFFFull - 40000);
  for (uint32_t i = 0; i < 600; ++i) b.Add(0, 100 + r.Below(1000), 1024, 0, true, r.Below(4) == 0);
  for (uint32_t i = 0; i < 4; ++i) b.Add(2, 10, 0x7FFFFFFF, 0, true);
  return s;
}

inline TableShape NegativeShape() {
  TableShape s{"negative rendering offsets",
               {{mp4file::TrackKind::Video, 90000}, {mp4file::TrackKind::Audio, 44100}},
               {}};
  ShapeRandom r(5);
  ShapeBuilder b(s, 48);
  const int32_t pattern[5] = {-3600, 0, 3600, -7200, 3600};
  for (uint32_t i = 0; i < 900; ++i) {
    b.Add(0, 300 + r.Below(20000), 3600, pattern[i % 5], i % 30 == 0);
    b.Add(1, 200 + r.Below(200), 1024, 0, true);
    b.Add(1, 200 + r.Below(200), 1024, 0, true);
  }
  return s;
}

inline std::vector<TableShape> TableShapes() {
  return {BFramesShape(), AudioShape(), MixedShape(), WideShape(), NegativeShape()};
}

// The sample-entry fields a writer track needs besides its tables.
inline void Describe(const TableShape::Track& in, mp4file::WriterTrack& t) {
  t.kind = in.kind;
  t.timeScale = in.timeScale;
  if (in.kind == mp4file::TrackKind::Video) {
    t.width = 640;
    t.height = 360;
    t.profile = 100;
    t.level = 31;
    t.sequenceSets = {{0x67, 100, 0, 31, 0xAC, 0xD9}};
    t.pictureSets = {{0x68, 0xEE, 0x3C, 0x80}};
  } else {
    t.objectType = 0x67;
    t.esConfiguration = {0x12, 0x10};
  }
}

}  // namespace mp4test

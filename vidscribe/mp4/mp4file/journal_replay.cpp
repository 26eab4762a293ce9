#include "mp4file/journal_replay.h"

#include <algorithm>

namespace mp4file {

bool JournalReplay::ApplyBlock(uint64_t mediaEnd, const std::vector<JournalEntry>& entries) {
  uint64_t end = mediaEnd_;
  for (const JournalEntry& e : entries) {
    if (e.kind == JournalRecord::Sample) end += e.size;
  }
  if (end != mediaEnd) return false;
  for (const JournalEntry& e : entries) {
    if (!apply(e)) return false;
  }
  return true;
}

bool JournalReplay::apply(const JournalEntry& e) {
  switch (e.kind) {
    case JournalRecord::VideoTrack:
    case JournalRecord::AudioTrack:
      return addTrack(e);
    case JournalRecord::SequenceSet:
      return writer_.AddH264SequenceParameterSet(e.track, e.data, e.dataSize);
    case JournalRecord::PictureSet:
      return writer_.AddH264PictureParameterSet(e.track, e.data, e.dataSize);
    case JournalRecord::EsConfiguration:
      return writer_.SetTrackESConfiguration(e.track, e.data, e.dataSize);
    case JournalRecord::Edit:
      if (!writer_.SetTrackEdit(e.track, e.delay, e.mediaStart)) return false;
      tracks_[e.track - 1].delayMs = e.delay;  // the writer checked the track
      return true;
    case JournalRecord::Sample:
      return noteSample(e);
  }
  return false;
}

// Tracks are numbered in the order they were added; a record that names
// another number does not describe this writer's calls.
bool JournalReplay::addTrack(const JournalEntry& e) {
  if (e.track != tracks_.size() + 1) return false;
  TrackId id = kInvalidTrackId;
  if (e.kind == JournalRecord::VideoTrack) {
    id = writer_.AddH264VideoTrack(e.timeScale, e.width, e.height, e.profile, e.compatibility, e.level,
                                   e.lengthSizeMinusOne);
    tracks_.push_back({TrackKind::Video, e.lengthSizeMinusOne + 1, e.timeScale});
  } else {
    id = writer_.AddAudioTrack(e.timeScale, e.objectType);
    tracks_.push_back({TrackKind::Audio, 0, e.timeScale});
  }
  return id == e.track;
}

bool JournalReplay::noteSample(const JournalEntry& e) {
  if (e.track == kInvalidTrackId || e.track > tracks_.size()) return false;
  Track& t = tracks_[e.track - 1];
  if (!check_(mediaEnd_, e, t.unitLengthBytes) ||
      !writer_.NoteSample(e.track, e.size, e.duration, e.renderingOffset, e.sync))
    return false;
  mediaEnd_ += e.size;
  t.ticks += e.duration;
  ++(t.kind == TrackKind::Video ? videoSamples_ : audioSamples_);
  return true;
}

uint64_t JournalReplay::DurationMs() const {
  uint64_t longest = 0;
  for (const Track& t : tracks_) {
    if (t.timeScale != 0) longest = std::max(longest, t.delayMs + t.ticks * 1000 / t.timeScale);
  }
  return longest;
}

}  // namespace mp4file

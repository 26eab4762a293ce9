#include "mp4file/mp4_file_reader.h"

#include <algorithm>

#include "mp4file/byte_reader.h"
#include "mp4file/mp4_log.h"

namespace mp4file {
namespace {

// Top-level boxes are read straight from the source: only their headers are
// fetched, and only the movie box is brought into memory.
bool findMovieBox(ByteSource& source, std::vector<uint8_t>& moov, std::string& why) {
  uint64_t fileSize = source.Size();
  uint64_t at = 0;
  while (at < fileSize) {
    uint8_t header[16];
    if (fileSize - at < 8 || !source.ReadAt(at, header, 8)) return (why = "truncated box header"), false;
    uint64_t size = GetU32(header);
    uint32_t type = GetU32(header + 4);
    uint64_t headerSize = 8;
    if (size == 1) {
      if (fileSize - at < 16 || !source.ReadAt(at + 8, header + 8, 8))
        return (why = "truncated box header"), false;
      size = GetU64(header + 8);
      headerSize = 16;
    } else if (size == 0) {
      size = fileSize - at;
    }
    if (size < headerSize || size > fileSize - at)
      return (why = "box size runs past the end of the file"), false;
    if (type == FourCC("moov")) {
      if (size - headerSize > SIZE_MAX) return (why = "movie box too large"), false;
      moov.resize(static_cast<size_t>(size - headerSize));
      if (!source.ReadAt(at + headerSize, moov.data(), moov.size()))
        return (why = "cannot read the movie box"), false;
      return true;
    }
    at += size;
  }
  why = "no movie box";
  return false;
}

}  // namespace

std::unique_ptr<Mp4FileReader> Mp4FileReader::Open(const std::string& path) {
  std::unique_ptr<ByteSource> source = OpenFileSource(path);
  if (!source) return nullptr;
  return Open(std::move(source), path);
}

std::unique_ptr<Mp4FileReader> Mp4FileReader::Open(std::unique_ptr<ByteSource> source,
                                                   const std::string& name) {
  std::unique_ptr<Mp4FileReader> reader(new Mp4FileReader());
  reader->source_ = std::move(source);
  std::string why;
  if (!reader->load(why)) {
    LogLine(LogSource::Reader, "refusing %s: %s", name.c_str(), why.c_str());
    return nullptr;
  }
  return reader;
}

bool Mp4FileReader::load(std::string& why) {
  std::vector<uint8_t> moov;
  return findMovieBox(*source_, moov, why) && loadMovie(moov, why);
}

bool Mp4FileReader::loadMovie(const std::vector<uint8_t>& moov, std::string& why) {
  BoxWalker walker(moov.data(), moov.size());
  Box box;
  while (walker.Next(box)) {
    if (box.type != FourCC("trak")) continue;
    ReaderTrack track;
    if (!ParseTrack(box.payload, box.size, source_->Size(), track, why)) {
      why = "track " + std::to_string(tracks_.size() + 1) + ": " + why;
      return false;
    }
    if (find(track.id) != nullptr) return (why = "two tracks share id " + std::to_string(track.id)), false;
    tracks_.push_back(std::move(track));
  }
  if (walker.Damaged()) return (why = "damaged box inside the movie box"), false;
  return true;
}

const ReaderTrack* Mp4FileReader::find(TrackId id) const {
  for (const ReaderTrack& t : tracks_) {
    if (t.id == id) return &t;
  }
  return nullptr;
}

TrackId Mp4FileReader::FindTrackId(TrackKind kind, uint32_t index) const {
  uint32_t handler = kind == TrackKind::Video ? kHandlerVideo : kHandlerSound;
  for (const ReaderTrack& t : tracks_) {
    if (t.handler == handler && index-- == 0) return t.id;
  }
  return kInvalidTrackId;
}

std::string Mp4FileReader::MediaDataName(TrackId id) const {
  const ReaderTrack* t = find(id);
  if (!t) return {};
  std::string name(4, ' ');
  for (int i = 0; i < 4; ++i) name[i] = static_cast<char>(t->sampleEntry >> (24 - 8 * i));
  return name;
}

uint32_t Mp4FileReader::TimeScale(TrackId id) const {
  const ReaderTrack* t = find(id);
  return t ? t->timeScale : 0;
}

uint64_t Mp4FileReader::Duration(TrackId id) const {
  const ReaderTrack* t = find(id);
  return t ? t->duration : 0;
}

uint32_t Mp4FileReader::SampleCount(TrackId id) const {
  const ReaderTrack* t = find(id);
  return t ? static_cast<uint32_t>(t->sizes.size()) : 0;
}

uint16_t Mp4FileReader::VideoWidth(TrackId id) const {
  const ReaderTrack* t = find(id);
  return t ? t->width : 0;
}

uint16_t Mp4FileReader::VideoHeight(TrackId id) const {
  const ReaderTrack* t = find(id);
  return t ? t->height : 0;
}

double Mp4FileReader::VideoFrameRate(TrackId id) const {
  const ReaderTrack* t = find(id);
  if (!t || t->duration == 0) return 0.0;
  return static_cast<double>(t->sizes.size()) * t->timeScale / static_cast<double>(t->duration);
}

uint32_t Mp4FileReader::MaxSampleSize(TrackId id) const {
  const ReaderTrack* t = find(id);
  return t ? t->maxSampleSize : 0;
}

bool Mp4FileReader::H264ParameterSets(TrackId id, std::vector<std::vector<uint8_t>>& sequenceSets,
                                      std::vector<std::vector<uint8_t>>& pictureSets) const {
  const ReaderTrack* t = find(id);
  if (!t || !t->hasAvcConfiguration) return false;
  sequenceSets = t->sequenceSets;
  pictureSets = t->pictureSets;
  return true;
}

uint16_t Mp4FileReader::AudioChannels(TrackId id) const {
  const ReaderTrack* t = find(id);
  return t ? t->channels : 0;
}

bool Mp4FileReader::ESConfiguration(TrackId id, std::vector<uint8_t>& config) const {
  const ReaderTrack* t = find(id);
  if (!t || !t->hasEsConfiguration) return false;
  config = t->esConfiguration;
  return true;
}

bool Mp4FileReader::IsSyncSample(TrackId id, uint32_t sampleId) const {
  const ReaderTrack* t = find(id);
  if (!t || sampleId == 0 || sampleId > t->sizes.size()) return false;
  return t->allSync || std::binary_search(t->syncSamples.begin(), t->syncSamples.end(), sampleId);
}

bool Mp4FileReader::Timing(TrackId id, uint32_t sampleId, SampleTiming& timing) const {
  const ReaderTrack* t = find(id);
  if (!t || sampleId == 0 || sampleId > t->sizes.size()) return false;
  uint32_t index = sampleId - 1;
  auto after = [](uint32_t i, const auto& run) { return i < run.firstSample; };
  auto time = std::upper_bound(t->times.begin(), t->times.end(), index, after);
  if (time == t->times.begin()) return false;  // the tables were checked to cover every sample
  --time;
  timing.decodeTime = time->startTime + uint64_t{index - time->firstSample} * time->delta;
  timing.duration = time->delta;
  timing.renderingOffset = 0;
  auto offset = std::upper_bound(t->renderingOffsets.begin(), t->renderingOffsets.end(), index, after);
  if (offset != t->renderingOffsets.begin()) {
    --offset;
    if (index - offset->firstSample < offset->count) timing.renderingOffset = offset->offset;
  }
  return true;
}

bool Mp4FileReader::ReadSample(TrackId id, uint32_t sampleId, uint8_t* buffer, uint32_t capacity,
                               uint32_t& size, bool& sync, SampleTiming* timing) {
  const ReaderTrack* t = find(id);
  if (!t || sampleId == 0 || sampleId > t->sizes.size()) return false;
  uint32_t length = t->sizes[sampleId - 1];
  if (length > capacity || (length > 0 && buffer == nullptr)) return false;
  if (!source_->ReadAt(t->offsets[sampleId - 1], buffer, length)) {
    LogLine(LogSource::Reader, "cannot read sample %u of track %u", sampleId, id);
    return false;
  }
  size = length;
  sync = IsSyncSample(id, sampleId);
  if (timing) Timing(id, sampleId, *timing);
  return true;
}

size_t Mp4FileReader::TableMemoryBytes() const {
  size_t bytes = 0;
  for (const ReaderTrack& t : tracks_) {
    bytes += t.sizes.capacity() * 4 + t.offsets.capacity() * 8 + t.syncSamples.capacity() * 4 +
             t.times.capacity() * sizeof(TimeRun) + t.renderingOffsets.capacity() * sizeof(OffsetRun);
  }
  return bytes;
}

}  // namespace mp4file

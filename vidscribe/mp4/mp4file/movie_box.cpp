#include "mp4file/movie_box.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

#include "mp4file/box_writer.h"
#include "mp4file/byte_order.h"
#include "mp4file/mp4_log.h"

namespace mp4file {
namespace {

const uint32_t kIdentityMatrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};

void writeMatrix(BoxWriter& w) {
  for (uint32_t v : kIdentityMatrix) w.U32(v);
}

uint64_t toMovieTime(uint64_t duration, uint32_t timeScale) {
  if (timeScale == 0) return 0;
  return (duration * kMovieTimeScale + timeScale - 1) / timeScale;
}

// The track's length in the presentation: its edit's delay and the media.
// The media edit starts at the first shown picture and runs as long as the
// samples last: with a steady composition delay the last picture is shown
// that much after its decode time too, so nothing is cut at the end.
uint64_t presentedDuration(const WriterTrack& t) {
  return t.editDelay + toMovieTime(t.table.TotalDuration(), t.timeScale);
}

// An empty edit for the delay, then the media from its start at rate 1.
void writeEdits(BoxWriter& w, const WriterTrack& t) {
  if (t.editDelay == 0 && t.editMediaStart == 0) return;
  const uint64_t start = t.editMediaStart;
  const uint64_t shown = toMovieTime(t.table.TotalDuration(), t.timeScale);
  const bool wide = std::max({t.editDelay, start, shown}) > 0x7FFFFFFFu;
  const auto entry = [&w, wide](uint64_t duration, int64_t mediaTime) {
    if (wide) {
      w.U64(duration);
      w.U64(static_cast<uint64_t>(mediaTime));
    } else {
      w.U32(static_cast<uint32_t>(duration));
      w.U32(static_cast<uint32_t>(mediaTime));
    }
    w.U32(0x00010000);  // rate 1.0
  };
  size_t edts = w.Begin(FourCC("edts"));
  size_t elst = w.BeginFull(FourCC("elst"), wide ? 1 : 0, 0);
  w.U32(t.editDelay > 0 ? 2 : 1);
  if (t.editDelay > 0) entry(t.editDelay, -1);
  entry(shown, static_cast<int64_t>(start));
  w.End(elst);
  w.End(edts);
}

// Times and durations go into 32-bit fields while they fit; a box switches to
// its 64-bit version only when they do not.
void writeTimes(BoxWriter& w, bool wide) {
  if (wide) {
    w.U64(0);  // creation time
    w.U64(0);  // modification time
  } else {
    w.U32(0);
    w.U32(0);
  }
}

void writeMovieHeader(BoxWriter& w, uint64_t duration, TrackId nextTrack) {
  bool wide = duration > 0xFFFFFFFFu;
  size_t box = w.BeginFull(FourCC("mvhd"), wide ? 1 : 0, 0);
  writeTimes(w, wide);
  w.U32(kMovieTimeScale);
  if (wide)
    w.U64(duration);
  else
    w.U32(static_cast<uint32_t>(duration));
  w.U32(0x00010000);  // rate 1.0
  w.U16(0x0100);      // volume 1.0
  w.Zeros(10);
  writeMatrix(w);
  w.Zeros(24);
  w.U32(nextTrack);
  w.End(box);
}

void writeTrackHeader(BoxWriter& w, const WriterTrack& t, uint64_t movieDuration) {
  bool wide = movieDuration > 0xFFFFFFFFu;
  size_t box = w.BeginFull(FourCC("tkhd"), wide ? 1 : 0, 0x3);  // enabled, in movie
  writeTimes(w, wide);
  w.U32(t.id);
  w.U32(0);
  if (wide)
    w.U64(movieDuration);
  else
    w.U32(static_cast<uint32_t>(movieDuration));
  w.Zeros(8);
  w.U16(0);                                   // layer
  w.U16(t.kind == TrackKind::Audio ? 1 : 0);  // alternate group
  w.U16(t.kind == TrackKind::Audio ? 0x0100 : 0);
  w.U16(0);
  writeMatrix(w);
  w.U32(t.kind == TrackKind::Video ? uint32_t{t.width} << 16 : 0);
  w.U32(t.kind == TrackKind::Video ? uint32_t{t.height} << 16 : 0);
  w.End(box);
}

void writeMediaHeader(BoxWriter& w, const WriterTrack& t) {
  uint64_t duration = t.table.TotalDuration();
  bool wide = duration > 0xFFFFFFFFu;
  size_t box = w.BeginFull(FourCC("mdhd"), wide ? 1 : 0, 0);
  writeTimes(w, wide);
  w.U32(t.timeScale);
  if (wide)
    w.U64(duration);
  else
    w.U32(static_cast<uint32_t>(duration));
  w.U16(0x55C4);  // language "und"
  w.U16(0);
  w.End(box);
}

void writeHandler(BoxWriter& w, const WriterTrack& t) {
  size_t box = w.BeginFull(FourCC("hdlr"), 0, 0);
  w.U32(0);
  w.U32(t.kind == TrackKind::Video ? kHandlerVideo : kHandlerSound);
  w.Zeros(12);
  const char* name = t.kind == TrackKind::Video ? "VideoHandler" : "SoundHandler";
  w.Bytes(reinterpret_cast<const uint8_t*>(name), std::strlen(name) + 1);
  w.End(box);
}

void writeDataInformation(BoxWriter& w) {
  size_t dinf = w.Begin(FourCC("dinf"));
  size_t dref = w.BeginFull(FourCC("dref"), 0, 0);
  w.U32(1);
  size_t url = w.BeginFull(FourCC("url "), 0, 1);  // media data in this file
  w.End(url);
  w.End(dref);
  w.End(dinf);
}

void writeAvcConfiguration(BoxWriter& w, const WriterTrack& t) {
  size_t box = w.Begin(FourCC("avcC"));
  w.U8(1);
  w.U8(t.profile);
  w.U8(t.compatibility);
  w.U8(t.level);
  w.U8(0xFC | (t.lengthSizeMinusOne & 3));
  w.U8(0xE0 | static_cast<uint8_t>(t.sequenceSets.size() & 0x1F));
  for (const auto& sps : t.sequenceSets) {
    w.U16(static_cast<uint16_t>(sps.size()));
    w.Bytes(sps);
  }
  w.U8(static_cast<uint8_t>(t.pictureSets.size()));
  for (const auto& pps : t.pictureSets) {
    w.U16(static_cast<uint16_t>(pps.size()));
    w.Bytes(pps);
  }
  w.End(box);
}

void writeVideoEntry(BoxWriter& w, const WriterTrack& t) {
  size_t box = w.Begin(FourCC("avc1"));
  w.Zeros(6);
  w.U16(1);  // data reference index
  w.Zeros(16);
  w.U16(t.width);
  w.U16(t.height);
  w.U32(0x00480000);  // 72 dpi
  w.U32(0x00480000);
  w.U32(0);
  w.U16(1);     // frames per sample
  w.Zeros(32);  // compressor name
  w.U16(0x0018);
  w.U16(0xFFFF);
  writeAvcConfiguration(w, t);
  w.End(box);
}

// Descriptor sizes use the expandable form; four bytes always suffice here.
void writeDescriptorHeader(BoxWriter& w, uint8_t tag, uint32_t size) {
  w.U8(tag);
  w.U8(static_cast<uint8_t>(0x80 | ((size >> 21) & 0x7F)));
  w.U8(static_cast<uint8_t>(0x80 | ((size >> 14) & 0x7F)));
  w.U8(static_cast<uint8_t>(0x80 | ((size >> 7) & 0x7F)));
  w.U8(static_cast<uint8_t>(size & 0x7F));
}

uint32_t averageBitRate(const WriterTrack& t) {
  uint64_t bytes = t.table.TotalBytes();
  uint64_t duration = t.table.TotalDuration();
  if (duration == 0) return 0;
  uint64_t rate = bytes * 8 * t.timeScale / duration;
  return rate > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(rate);
}

void writeEsDescriptor(BoxWriter& w, const WriterTrack& t) {
  size_t box = w.BeginFull(FourCC("esds"), 0, 0);
  uint32_t configSize = static_cast<uint32_t>(t.esConfiguration.size());
  uint32_t specificSize = configSize ? 5 + configSize : 0;
  uint32_t decoderSize = 13 + specificSize;
  uint32_t esSize = 3 + 5 + decoderSize + 5 + 1;
  writeDescriptorHeader(w, 0x03, esSize);
  w.U16(0);  // ES id
  w.U8(0);   // no dependence, URL or OCR stream
  writeDescriptorHeader(w, 0x04, decoderSize);
  w.U8(t.objectType);
  w.U8(0x15);  // audio stream
  uint32_t buffer = t.table.MaxSampleSize();
  w.U8(static_cast<uint8_t>(buffer >> 16));
  w.U16(static_cast<uint16_t>(buffer));
  uint32_t bitRate = averageBitRate(t);
  w.U32(bitRate);
  w.U32(bitRate);
  if (configSize) {
    writeDescriptorHeader(w, 0x05, configSize);
    w.Bytes(t.esConfiguration);
  }
  writeDescriptorHeader(w, 0x06, 1);
  w.U8(0x02);  // predefined SL configuration for files
  w.End(box);
}

uint16_t channelsFromConfiguration(const std::vector<uint8_t>& config) {
  if (config.size() >= 2) {
    uint16_t channels = (config[1] >> 3) & 0x0F;
    if (channels >= 1 && channels <= 7) return channels;
  }
  return 2;
}

void writeAudioEntry(BoxWriter& w, const WriterTrack& t) {
  size_t box = w.Begin(FourCC("mp4a"));
  w.Zeros(6);
  w.U16(1);
  w.Zeros(8);
  w.U16(channelsFromConfiguration(t.esConfiguration));
  w.U16(16);  // sample size in bits
  w.U16(0);
  w.U16(0);
  w.U32(t.timeScale < 0x10000 ? t.timeScale << 16 : 0);
  writeEsDescriptor(w, t);
  w.End(box);
}

// The movie box as a buffer with gaps, and for each gap the function that
// streams the table filling it.
struct MovieBoxPlan {
  BoxWriter w;
  std::vector<std::function<bool(OutputFile&)>> streams;

  void Defer(uint64_t size, std::function<bool(OutputFile&)> stream) {
    w.Defer(size);
    streams.push_back(std::move(stream));
  }
};

// Streams a list as big-endian fields of entryBytes each, a block at a time.
template <typename T, typename Encode>
std::function<bool(OutputFile&)> streamOf(const SpilledList<T>& list, size_t entryBytes, Encode encode) {
  return [&list, entryBytes, encode](OutputFile& file) {
    std::vector<uint8_t> out;
    return list.ForEachPiece([&](const T* entries, size_t count) {
      out.resize(count * entryBytes);
      for (size_t i = 0; i < count; ++i) encode(entries[i], out.data() + i * entryBytes);
      return file.Write(out.data(), out.size());
    });
  };
}

void writeRuns(MovieBoxPlan& p, uint32_t type, uint8_t version, const SpilledList<Run>& runs) {
  size_t box = p.w.BeginFull(type, version, 0);
  p.w.U32(static_cast<uint32_t>(runs.Count()));
  p.Defer(runs.Count() * 8, streamOf(runs, 8, [](const Run& r, uint8_t* out) {
            PutU32(out, r.count);
            PutU32(out + 4, r.value);
          }));
  p.w.End(box);
}

void writeSampleNumbers(MovieBoxPlan& p, const SpilledList<uint32_t>& numbers) {
  p.Defer(numbers.Count() * 4, streamOf(numbers, 4, [](uint32_t n, uint8_t* out) { PutU32(out, n); }));
}

void writeChunkTables(MovieBoxPlan& p, const SampleTable& s, bool wideOffsets) {
  size_t stsc = p.w.BeginFull(FourCC("stsc"), 0, 0);
  p.w.U32(static_cast<uint32_t>(s.ChunkRuns().Count()));
  p.Defer(s.ChunkRuns().Count() * 12, streamOf(s.ChunkRuns(), 12, [](const ChunkRun& r, uint8_t* out) {
            PutU32(out, r.firstChunk);
            PutU32(out + 4, r.samplesPerChunk);
            PutU32(out + 8, 1);  // sample description index
          }));
  p.w.End(stsc);
  size_t stsz = p.w.BeginFull(FourCC("stsz"), 0, 0);
  p.w.U32(0);
  p.w.U32(s.SampleCount());
  writeSampleNumbers(p, s.Sizes());
  p.w.End(stsz);
  size_t stco = p.w.BeginFull(wideOffsets ? FourCC("co64") : FourCC("stco"), 0, 0);
  p.w.U32(static_cast<uint32_t>(s.ChunkOffsets().Count()));
  if (wideOffsets) {
    p.Defer(s.ChunkOffsets().Count() * 8,
            streamOf(s.ChunkOffsets(), 8, [](uint64_t offset, uint8_t* out) { PutU64(out, offset); }));
  } else {
    p.Defer(s.ChunkOffsets().Count() * 4, streamOf(s.ChunkOffsets(), 4, [](uint64_t offset, uint8_t* out) {
              PutU32(out, static_cast<uint32_t>(offset));
            }));
  }
  p.w.End(stco);
}

void writeSampleTable(MovieBoxPlan& p, const WriterTrack& t, bool wideOffsets) {
  const SampleTable& s = t.table;
  BoxWriter& w = p.w;
  size_t stbl = w.Begin(FourCC("stbl"));
  size_t stsd = w.BeginFull(FourCC("stsd"), 0, 0);
  w.U32(1);
  if (t.kind == TrackKind::Video)
    writeVideoEntry(w, t);
  else
    writeAudioEntry(w, t);
  w.End(stsd);
  writeRuns(p, FourCC("stts"), 0, s.Durations());
  if (s.HasRenderingOffsets())
    writeRuns(p, FourCC("ctts"), s.HasNegativeOffsets() ? 1 : 0, s.RenderingOffsets());
  if (!s.AllSync()) {
    size_t stss = w.BeginFull(FourCC("stss"), 0, 0);
    w.U32(static_cast<uint32_t>(s.SyncSamples().Count()));
    writeSampleNumbers(p, s.SyncSamples());
    w.End(stss);
  }
  writeChunkTables(p, s, wideOffsets);
  w.End(stbl);
}

void writeTrack(MovieBoxPlan& p, const WriterTrack& t, bool wideOffsets) {
  BoxWriter& w = p.w;
  size_t trak = w.Begin(FourCC("trak"));
  writeTrackHeader(w, t, presentedDuration(t));
  writeEdits(w, t);
  size_t mdia = w.Begin(FourCC("mdia"));
  writeMediaHeader(w, t);
  writeHandler(w, t);
  size_t minf = w.Begin(FourCC("minf"));
  if (t.kind == TrackKind::Video) {
    size_t vmhd = w.BeginFull(FourCC("vmhd"), 0, 1);
    w.Zeros(8);
    w.End(vmhd);
  } else {
    size_t smhd = w.BeginFull(FourCC("smhd"), 0, 0);
    w.Zeros(4);
    w.End(smhd);
  }
  writeDataInformation(w);
  writeSampleTable(p, t, wideOffsets);
  w.End(minf);
  w.End(mdia);
  w.End(trak);
}

// Writes the buffer with every gap filled by its stream. A stream that
// writes other than the bytes its boxes counted would leave a box that
// misstates its size, so that is a failure too.
bool writePlan(OutputFile& file, const MovieBoxPlan& p) {
  const std::vector<uint8_t>& bytes = p.w.Data();
  const std::vector<BoxWriter::Gap>& gaps = p.w.Gaps();
  size_t from = 0;
  for (size_t i = 0; i < gaps.size(); ++i) {
    if (!file.Write(bytes.data() + from, gaps[i].at - from)) return false;
    uint64_t before = file.Position();
    if (!p.streams[i](file)) return false;
    uint64_t written = file.Position() - before;
    if (written != gaps[i].size) {
      LogLine(LogSource::Writer, "a sample table wrote %llu bytes where %llu were counted",
              static_cast<unsigned long long>(written), static_cast<unsigned long long>(gaps[i].size));
      return false;
    }
    from = gaps[i].at;
  }
  return file.Write(bytes.data() + from, bytes.size() - from);
}

}  // namespace

bool WriteMovieBox(OutputFile& file, const std::vector<std::unique_ptr<WriterTrack>>& tracks) {
  uint64_t movieDuration = 0;
  uint64_t largestOffset = 0;
  TrackId nextTrack = 1;
  for (const auto& t : tracks) {
    movieDuration = std::max(movieDuration, presentedDuration(*t));
    largestOffset = std::max(largestOffset, t->table.LargestChunkOffset());
    nextTrack = std::max(nextTrack, t->id + 1);
  }
  bool wideOffsets = largestOffset > 0xFFFFFFFFu;
  MovieBoxPlan p;
  size_t moov = p.w.Begin(FourCC("moov"));
  writeMovieHeader(p.w, movieDuration, nextTrack);
  for (const auto& t : tracks) writeTrack(p, *t, wideOffsets);
  p.w.End(moov);
  if (p.w.TooLarge()) {
    LogLine(LogSource::Writer, "the sample tables are too large for a movie box");
    return false;
  }
  return writePlan(file, p);
}

}  // namespace mp4file

// Reads one track box and checks its tables against each other and against
// the file: every count must agree with the sample sizes, every sample must
// lie inside the file, and no table may claim more entries than its box
// holds. Only then are the per-sample positions built.
#include <limits>

#include "mp4file/byte_reader.h"
#include "mp4file/reader_track.h"
#include "mp4file/sample_entry.h"

namespace mp4file {
namespace {

struct TableBoxes {
  Box tkhd, mdhd, hdlr, stsd, stts, ctts, stss, stsc, stsz, stco;
  bool wideOffsets = false;
};

bool fail(std::string& why, const char* reason) {
  why = reason;
  return false;
}

// Keeps the first box of each wanted type among the children of a payload.
bool collect(const uint8_t* data, size_t size, std::initializer_list<std::pair<uint32_t, Box*>> wanted,
             std::string& why) {
  BoxWalker walker(data, size);
  Box box;
  while (walker.Next(box)) {
    for (auto& [type, slot] : wanted) {
      if (box.type == type && slot->payload == nullptr) *slot = box;
    }
  }
  return !walker.Damaged() || fail(why, "damaged box inside a track");
}

bool findTables(const uint8_t* payload, size_t size, TableBoxes& b, std::string& why) {
  Box mdia, minf, stbl, co64;
  if (!collect(payload, size, {{FourCC("tkhd"), &b.tkhd}, {FourCC("mdia"), &mdia}}, why)) return false;
  if (!b.tkhd.payload || !mdia.payload) return fail(why, "track without header or media box");
  if (!collect(mdia.payload, mdia.size,
               {{FourCC("mdhd"), &b.mdhd}, {FourCC("hdlr"), &b.hdlr}, {FourCC("minf"), &minf}}, why))
    return false;
  if (!b.mdhd.payload || !b.hdlr.payload || !minf.payload) return fail(why, "incomplete media box");
  if (!collect(minf.payload, minf.size, {{FourCC("stbl"), &stbl}}, why)) return false;
  if (!stbl.payload) return fail(why, "track without sample table");
  if (!collect(stbl.payload, stbl.size,
               {{FourCC("stsd"), &b.stsd},
                {FourCC("stts"), &b.stts},
                {FourCC("ctts"), &b.ctts},
                {FourCC("stss"), &b.stss},
                {FourCC("stsc"), &b.stsc},
                {FourCC("stsz"), &b.stsz},
                {FourCC("stco"), &b.stco},
                {FourCC("co64"), &co64}},
               why))
    return false;
  if (!b.stco.payload && co64.payload) {
    b.stco = co64;
    b.wideOffsets = true;
  }
  if (!b.stsd.payload || !b.stts.payload || !b.stsc.payload || !b.stsz.payload || !b.stco.payload)
    return fail(why, "sample table lacks a required box");
  return true;
}

bool parseHeaders(const TableBoxes& b, ReaderTrack& t, std::string& why) {
  ByteReader tkhd(b.tkhd.payload, b.tkhd.size);
  uint8_t version = tkhd.U8();
  tkhd.Skip(3 + (version == 1 ? 16 : 8));
  t.id = tkhd.U32();
  ByteReader mdhd(b.mdhd.payload, b.mdhd.size);
  version = mdhd.U8();
  mdhd.Skip(3 + (version == 1 ? 16 : 8));
  t.timeScale = mdhd.U32();
  t.duration = version == 1 ? mdhd.U64() : mdhd.U32();
  ByteReader hdlr(b.hdlr.payload, b.hdlr.size);
  hdlr.Skip(8);
  t.handler = hdlr.U32();
  if (!tkhd.Ok() || !mdhd.Ok() || !hdlr.Ok()) return fail(why, "short track, media or handler header");
  if (t.id == kInvalidTrackId) return fail(why, "track id 0");
  if (t.timeScale == 0) return fail(why, "time scale 0");
  return true;
}

// Reads a full box's entry count and checks the box really holds that many
// entries of entrySize bytes before anything is allocated for them.
bool openTable(const Box& box, size_t skip, size_t entrySize, ByteReader& r, uint32_t& count) {
  r = ByteReader(box.payload, box.size);
  r.Skip(4 + skip);
  count = r.U32();
  return r.Ok() && count <= r.Remaining() / entrySize;
}

bool parseSizes(const Box& stsz, uint64_t fileSize, ReaderTrack& t, std::string& why) {
  ByteReader r(stsz.payload, stsz.size);
  r.Skip(4);
  uint32_t constant = r.U32();
  uint32_t count = r.U32();
  if (!r.Ok()) return fail(why, "short sample size box");
  if (constant == 0) {
    if (count > r.Remaining() / 4) return fail(why, "sample size box holds fewer sizes than it counts");
    t.sizes.resize(count);
    for (uint32_t& s : t.sizes) s = r.U32();
  } else {
    // Samples never overlap, so the count cannot exceed what the file holds.
    if (uint64_t{constant} * count > fileSize) return fail(why, "sample sizes exceed the file");
    t.sizes.assign(count, constant);
  }
  for (uint32_t s : t.sizes) t.maxSampleSize = s > t.maxSampleSize ? s : t.maxSampleSize;
  return true;
}

bool parseTimes(const TableBoxes& b, ReaderTrack& t, std::string& why) {
  ByteReader r(nullptr, 0);
  uint32_t entries;
  if (!openTable(b.stts, 0, 8, r, entries)) return fail(why, "damaged decoding time table");
  uint64_t sample = 0, time = 0;
  for (uint32_t i = 0; i < entries; ++i) {
    uint32_t count = r.U32(), delta = r.U32();
    if (count == 0) continue;
    if (sample + count > t.sizes.size())
      return fail(why, "decoding time table counts more samples than sizes");
    t.times.push_back({static_cast<uint32_t>(sample), count, delta, time});
    sample += count;
    time += uint64_t{count} * delta;
  }
  if (sample != t.sizes.size()) return fail(why, "decoding time table counts fewer samples than sizes");
  if (!b.ctts.payload) return true;
  if (!openTable(b.ctts, 0, 8, r, entries)) return fail(why, "damaged composition offset table");
  sample = 0;
  for (uint32_t i = 0; i < entries; ++i) {
    uint32_t count = r.U32(), offset = r.U32();
    if (count == 0) continue;
    if (sample + count > t.sizes.size()) return fail(why, "composition offset table counts too many samples");
    t.renderingOffsets.push_back({static_cast<uint32_t>(sample), count, static_cast<int32_t>(offset)});
    sample += count;
  }
  return true;
}

bool parseSyncSamples(const Box& stss, ReaderTrack& t, std::string& why) {
  if (!stss.payload) return true;
  ByteReader r(nullptr, 0);
  uint32_t entries;
  if (!openTable(stss, 0, 4, r, entries)) return fail(why, "damaged sync sample table");
  t.allSync = false;
  t.syncSamples.resize(entries);
  uint32_t previous = 0;
  for (uint32_t& n : t.syncSamples) {
    n = r.U32();
    if (n <= previous || n > t.sizes.size()) return fail(why, "sync sample table out of order or range");
    previous = n;
  }
  return true;
}

// Walks chunks with the sample-to-chunk runs, giving each sample its file
// offset and checking it ends inside the file.
bool placeSamples(const TableBoxes& b, uint32_t entryCount, uint64_t fileSize, ReaderTrack& t,
                  std::string& why) {
  ByteReader chunks(nullptr, 0), runs(nullptr, 0);
  uint32_t chunkCount, runCount;
  if (!openTable(b.stco, 0, b.wideOffsets ? 8 : 4, chunks, chunkCount))
    return fail(why, "damaged chunk offset table");
  if (!openTable(b.stsc, 0, 12, runs, runCount)) return fail(why, "damaged sample-to-chunk table");
  uint64_t total = t.sizes.size();
  t.offsets.resize(t.sizes.size());
  uint64_t sample = 0;
  uint32_t chunk = 1;  // 1-based, as the runs count
  for (uint32_t i = 0; i < runCount; ++i) {
    uint32_t first = runs.U32(), perChunk = runs.U32(), description = runs.U32();
    if (first != chunk || description == 0 || description > entryCount)
      return fail(why, "damaged sample-to-chunk run");
    uint64_t nextFirst = i + 1 < runCount ? GetU32(runs.Current()) : uint64_t{chunkCount} + 1;
    if (nextFirst <= first || nextFirst > uint64_t{chunkCount} + 1)
      return fail(why, "sample-to-chunk runs out of order");
    for (; chunk < nextFirst; ++chunk) {
      uint64_t at = b.wideOffsets ? chunks.U64() : chunks.U32();
      if (perChunk > total - sample) return fail(why, "chunks hold more samples than the track has");
      for (uint32_t k = 0; k < perChunk; ++k, ++sample) {
        uint32_t size = t.sizes[sample];
        if (at > fileSize || size > fileSize - at) return fail(why, "sample lies outside the file");
        t.offsets[sample] = at;
        at += size;
      }
    }
  }
  if (sample != total) return fail(why, "chunks hold fewer samples than the track has");
  return true;
}

}  // namespace

bool ParseTrack(const uint8_t* payload, size_t size, uint64_t fileSize, ReaderTrack& t, std::string& why) {
  TableBoxes b;
  uint32_t entryCount = 0;
  return findTables(payload, size, b, why) && parseHeaders(b, t, why) &&
         ParseSampleDescription(b.stsd, t, entryCount, why) && parseSizes(b.stsz, fileSize, t, why) &&
         parseTimes(b, t, why) && parseSyncSamples(b.stss, t, why) &&
         placeSamples(b, entryCount, fileSize, t, why);
}

}  // namespace mp4file

// Sample tables that move their blocks to a scratch file, and the movie box
// streamed out of them: the bytes must be exactly those of the in-memory
// builder that wrote every file before, whatever the block size, and the
// memory must not grow with the recording.
#include <gtest/gtest.h>
#include <zlib.h>

#include <memory>

#include "media_fixtures.h"
#include "mp4file/box_writer.h"
#include "mp4file/byte_order.h"
#include "mp4file/byte_reader.h"
#include "mp4file/movie_box.h"
#include "mp4file/reader_track.h"
#include "mp4file/spill_file.h"
#include "table_shapes.h"

using namespace mp4file;
using namespace mp4test;

namespace {

using Tracks = std::vector<std::unique_ptr<WriterTrack>>;

Tracks tracksFor(const TableShape& shape, SpillFile* spill, size_t blockEntries) {
  Tracks tracks;
  for (size_t i = 0; i < shape.tracks.size(); ++i) {
    tracks.push_back(std::make_unique<WriterTrack>(spill, blockEntries));
    Describe(shape.tracks[i], *tracks.back());
    tracks.back()->id = static_cast<TrackId>(i + 1);
  }
  return tracks;
}

std::vector<uint8_t> movieBoxBytes(const Tracks& tracks, const std::string& path) {
  OutputFile out;
  if (!out.Open(path)) return {};
  bool written = WriteMovieBox(out, tracks);
  if (!out.Close() || !written) return {};
  return ReadFileBytes(path);
}

struct Golden {
  const char* shape;
  size_t size;
  uint32_t crc;
};

// Length and CRC-32 of the movie box that the in-memory builder (which built
// the whole box in one buffer, up to commit 1f11460) made for each shape; on a
// mismatch, build that commit's BuildMovieBox on the same shapes to compare.
const Golden kGolden[] = {
    {"video with B-frames", 26028, 0xdd8b160au},
    {"all-sync audio", 12436, 0xcec547c1u},
    {"mixed chunks", 42836, 0xea74d425u},
    {"offsets past 4 GiB", 6768, 0x247544a1u},
    {"negative rendering offsets", 26388, 0xab242c4bu},
};

TEST(MovieBoxStreaming, SameBytesAsTheInMemoryBuilderForEveryBlockSize) {
  TempDir dir;
  std::vector<TableShape> shapes = TableShapes();
  ASSERT_EQ(shapes.size(), sizeof kGolden / sizeof kGolden[0]);
  const size_t blockSizes[] = {0, 1, 5, 64, kTableBlockEntries};  // 0: no scratch file
  for (size_t s = 0; s < shapes.size(); ++s) {
    ASSERT_STREQ(shapes[s].name, kGolden[s].shape);
    for (size_t block : blockSizes) {
      SCOPED_TRACE(std::string(shapes[s].name) + ", block " + std::to_string(block));
      std::string why;
      std::unique_ptr<SpillFile> spill = block ? SpillFile::Create(dir.Path(), why) : nullptr;
      ASSERT_TRUE(block == 0 || spill) << why;
      Tracks tracks = tracksFor(shapes[s], spill.get(), block ? block : kTableBlockEntries);
      for (const TableShape::Entry& e : shapes[s].entries) {
        ASSERT_TRUE(
            tracks[e.track]->table.Add(e.size, e.duration, e.offset, e.sync, e.fileOffset, e.newChunk));
      }
      for (auto& t : tracks) ASSERT_TRUE(t->table.Finish());
      if (block == 5) {
        EXPECT_GT(spill->Size(), 100u * 5 * 4);  // many blocks went out
      }
      std::vector<uint8_t> bytes = movieBoxBytes(tracks, dir.File("moov"));
      EXPECT_EQ(bytes.size(), kGolden[s].size);
      EXPECT_EQ(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())), kGolden[s].crc);
    }
  }
}

// A gap counts in every box around it but not in a box that starts right
// after it, and a box a gap pushes past 32 bits is flagged instead of being
// given a wrapped size.
TEST(MovieBoxStreaming, GapsCountInTheBoxesAroundThemAndOversizeIsCaught) {
  BoxWriter w;
  size_t outer = w.Begin(FourCC("moov"));
  size_t inner = w.BeginFull(FourCC("stsz"), 0, 0);
  w.Defer(100);
  w.End(inner);
  w.Defer(7);
  size_t next = w.Begin(FourCC("free"));
  w.End(next);
  w.End(outer);
  EXPECT_EQ(GetU32(w.At(inner)), 12u + 100);
  EXPECT_EQ(GetU32(w.At(next)), 8u);
  EXPECT_EQ(GetU32(w.At(outer)), 8u + 112 + 7 + 8);
  size_t largest = w.Begin(FourCC("stco"));
  w.Defer(0xFFFFFFFFull - 8);
  w.End(largest);
  EXPECT_FALSE(w.TooLarge());
  size_t over = w.Begin(FourCC("co64"));
  w.Defer(0xFFFFFFFFull - 7);
  w.End(over);
  EXPECT_TRUE(w.TooLarge());
}

// A synthetic live recording: 25 fps video with B-frame offsets, a key frame
// every 2 s and a chunk per frame, plus 44.1 kHz audio.
bool addRecordingSamples(SampleTable& video, SampleTable& audio, uint32_t from, uint32_t to,
                         uint64_t& position) {
  const int32_t offsets[3] = {7200, 0, 3600};
  for (uint32_t i = from; i < to; ++i) {
    if (!video.Add(1000 + i % 7, 3600, offsets[i % 3], i % 50 == 0, position, true)) return false;
    position += 1000 + i % 7;
    for (int a = 0; a < 2; ++a) {
      if (!audio.Add(300, 1024, 0, true, position, a == 0)) return false;
      position += 300;
    }
  }
  return true;
}

TEST(SampleTableMemory, StaysBoundedOverMillionsOfSamples) {
  TempDir dir;
  std::string why;
  auto spill = SpillFile::Create(dir.Path(), why);
  ASSERT_TRUE(spill) << why;
  Tracks tracks;
  for (TrackKind kind : {TrackKind::Video, TrackKind::Audio}) {
    tracks.push_back(std::make_unique<WriterTrack>(spill.get()));
    Describe({kind, kind == TrackKind::Video ? 90000u : 44100u}, *tracks.back());
    tracks.back()->id = static_cast<TrackId>(tracks.size());
  }
  SampleTable& video = tracks[0]->table;
  SampleTable& audio = tracks[1]->table;
  // Six lists of at most one block of at most 8-byte entries each.
  const size_t bound = 6 * kTableBlockEntries * 8;
  uint64_t position = 48;
  // By 900 000 frames every list that grows has filled its first block.
  ASSERT_TRUE(addRecordingSamples(video, audio, 0, 900000, position));
  size_t early = video.MemoryBytes() + audio.MemoryBytes();
  ASSERT_TRUE(addRecordingSamples(video, audio, 900000, 1000000, position));  // 3 million samples in all
  EXPECT_LE(video.MemoryBytes(), bound);
  EXPECT_LE(audio.MemoryBytes(), bound);
  EXPECT_EQ(video.MemoryBytes() + audio.MemoryBytes(), early);
  EXPECT_GT(spill->Size(), 2000000u * 4);
  ASSERT_TRUE(video.Finish() && audio.Finish());

  // The streamed box holds every sample: parse the video track back.
  std::vector<uint8_t> moov = movieBoxBytes(tracks, dir.File("moov"));
  ASSERT_GT(moov.size(), 8u);
  BoxWalker walker(moov.data() + 8, moov.size() - 8);
  Box box;
  while (walker.Next(box) && box.type != FourCC("trak")) {
  }
  ASSERT_EQ(box.type, FourCC("trak"));
  ReaderTrack parsed;
  std::string reason;
  ASSERT_TRUE(ParseTrack(box.payload, box.size, position, parsed, reason)) << reason;
  ASSERT_EQ(parsed.sizes.size(), 1000000u);
  EXPECT_EQ(parsed.sizes[999999], 1000u + 999999 % 7);
  EXPECT_EQ(parsed.syncSamples.size(), 20000u);
  EXPECT_EQ(parsed.syncSamples.back(), 999951u);
  EXPECT_EQ(parsed.offsets[1], 48u + 1000 + 600);
}

}  // namespace

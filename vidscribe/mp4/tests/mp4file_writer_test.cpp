// Files our module writes, judged by ffprobe and ffmpeg: samples copied from
// ffmpeg-made files must come out with the same bytes, flags and times, and
// ffmpeg must decode them without complaint.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <functional>

#include "media_fixtures.h"
#include "mp4file/byte_order.h"
#include "mp4file/byte_reader.h"
#include "mp4file/movie_box.h"
#include "mp4file/mp4_file_reader.h"
#include "mp4file/mp4_file_writer.h"
#include "mp4file/mp4_log.h"
#include "mp4file/recovery.h"

using namespace mp4file;
using namespace mp4test;

namespace {

// Copies every sample of an MP4 through our writer, interleaved by decode
// time as a recorder would deliver them. afterSample, when given, is called
// with each sample written (its kind and size) while the writer is open.
using SampleHook = std::function<void(TrackKind kind, uint32_t size)>;
bool remux(const std::string& from, const std::string& to, const WriterOptions& options = WriterOptions(),
           const SampleHook& afterSample = nullptr) {
  auto reader = Mp4FileReader::Open(from);
  auto writer = Mp4FileWriter::Create(to, options);
  if (!reader || !writer) return false;
  struct Stream {
    TrackId in, out;
    TrackKind kind;
    uint32_t next = 1;
  };
  std::vector<Stream> streams;
  TrackId video = reader->FindTrackId(TrackKind::Video);
  if (video != kInvalidTrackId) {
    std::vector<std::vector<uint8_t>> sps, pps;
    reader->H264ParameterSets(video, sps, pps);
    TrackId out = writer->AddH264VideoTrack(reader->TimeScale(video), reader->VideoWidth(video),
                                            reader->VideoHeight(video), sps[0][1], sps[0][2], sps[0][3], 3);
    for (auto& s : sps) writer->AddH264SequenceParameterSet(out, s.data(), s.size());
    for (auto& p : pps) writer->AddH264PictureParameterSet(out, p.data(), p.size());
    streams.push_back({video, out, TrackKind::Video});
  }
  TrackId audio = reader->FindTrackId(TrackKind::Audio);
  if (audio != kInvalidTrackId) {
    std::vector<uint8_t> config;
    reader->ESConfiguration(audio, config);
    TrackId out = writer->AddAudioTrack(reader->TimeScale(audio), 0x40);
    writer->SetTrackESConfiguration(out, config.data(), config.size());
    streams.push_back({audio, out, TrackKind::Audio});
  }
  std::vector<uint8_t> buffer(1 << 20);
  for (;;) {
    Stream* earliest = nullptr;
    double earliestTime = 0;
    for (Stream& s : streams) {
      SampleTiming timing;
      if (!reader->Timing(s.in, s.next, timing)) continue;
      double time = double(timing.decodeTime) / reader->TimeScale(s.in);
      if (!earliest || time < earliestTime) earliest = &s, earliestTime = time;
    }
    if (!earliest) break;
    uint32_t size;
    bool sync;
    SampleTiming timing;
    if (!reader->ReadSample(earliest->in, earliest->next++, buffer.data(), uint32_t(buffer.size()), size,
                            sync, &timing) ||
        !writer->WriteSample(earliest->out, buffer.data(), size, timing.duration, timing.renderingOffset,
                             sync))
      return false;
    if (afterSample) afterSample(earliest->kind, size);
  }
  return writer->Close();
}

void expectSamePackets(const std::vector<Packet>& ours, const std::vector<Packet>& theirs) {
  ASSERT_EQ(ours.size(), theirs.size());
  for (size_t i = 0; i < ours.size(); ++i) {
    EXPECT_EQ(ours[i].size, theirs[i].size) << i;
    EXPECT_EQ(ours[i].key, theirs[i].key) << i;
    EXPECT_EQ(ours[i].adler, theirs[i].adler) << i;
    EXPECT_EQ(ours[i].dts, theirs[i].dts) << i;
    EXPECT_EQ(ours[i].pts - ours[i].dts, theirs[i].pts - theirs[i].dts) << i;
    if (i > 0) {
      EXPECT_GT(ours[i].dts, ours[i - 1].dts) << i;
    }
  }
}

class Mp4FileWriterOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  }
  TempDir dir_;
};

TEST_F(Mp4FileWriterOutput, CopiedRecordingsPassFfprobeAndDecodeCleanly) {
  struct Case {
    const char* name;
    SourceOptions options;
  } cases[2];
  cases[0].name = "av";
  cases[1].name = "audio";
  cases[1].options.video = false;
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string source = CachedMp4(c.options);
    std::string ours = dir_.File(std::string(c.name) + "_ours.mp4");
    ASSERT_FALSE(source.empty());
    ASSERT_TRUE(remux(source, ours));
    EXPECT_EQ(DecodeErrors(ours), "");
    for (const char* kind : {"v", "a"}) {
      bool present = *kind == 'v' ? c.options.video : c.options.audio;
      EXPECT_EQ(ProbeStream(ours, kind, "codec_name"), present ? (*kind == 'v' ? "h264" : "aac") : "");
      if (!present) continue;
      EXPECT_EQ(ProbeStream(ours, kind, "nb_frames"), ProbeStream(source, kind, "nb_frames"));
      expectSamePackets(ProbePackets(ours, kind), ProbePackets(source, kind));
    }
    if (c.options.video) {
      EXPECT_EQ(ProbeStream(ours, "v", "width,height"), "320,240");
    }
    if (c.options.audio) {
      EXPECT_EQ(ProbeStream(ours, "a", "sample_rate,channels"), "44100,2");
    }
    std::string duration = ProbeStream(ours, c.options.video ? "v" : "a", "duration");
    EXPECT_NEAR(std::stod(duration), 3.0, 0.1);
  }
}

// Returns the payload of the first box of that type anywhere in the bytes.
bool hasBox(const std::vector<uint8_t>& bytes, const char* type) {
  return std::search(bytes.begin(), bytes.end(), type, type + 4) != bytes.end();
}

TEST_F(Mp4FileWriterOutput, OptionalTablesOnlyWhenNeededAndParameterSetsOnce) {
  std::string path = dir_.File("tables.mp4");
  auto writer = Mp4FileWriter::Create(path);
  ASSERT_TRUE(writer);
  TrackId video = writer->AddH264VideoTrack(90000, 64, 48, 66, 0xC0, 30, 3);
  TrackId audio = writer->AddAudioTrack(44100, 0x67);
  const uint8_t sps[] = {0x67, 66, 0xC0, 30, 0xAA};
  const uint8_t sps2[] = {0x67, 66, 0xC0, 30, 0xBB};
  const uint8_t pps[] = {0x68, 0xCE};
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(writer->AddH264SequenceParameterSet(video, sps, sizeof sps));
  EXPECT_TRUE(writer->AddH264SequenceParameterSet(video, sps2, sizeof sps2));
  EXPECT_TRUE(writer->AddH264PictureParameterSet(video, pps, sizeof pps));
  EXPECT_TRUE(writer->AddH264PictureParameterSet(video, pps, sizeof pps));
  const uint8_t config[] = {0x12, 0x10};
  EXPECT_FALSE(writer->SetTrackESConfiguration(video, config, 2));  // not an audio track
  EXPECT_FALSE(writer->AddH264PictureParameterSet(audio, pps, sizeof pps));
  EXPECT_TRUE(writer->SetTrackESConfiguration(audio, config, 2));
  const uint8_t sample[] = {0, 0, 0, 1, 0x65};
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(writer->WriteSample(video, sample, sizeof sample, 3000, 0, i == 0));
    EXPECT_TRUE(writer->WriteSample(audio, sample, sizeof sample, 1024, 0, true));
  }
  EXPECT_FALSE(writer->WriteSample(7, sample, sizeof sample, 1, 0, true));
  ASSERT_TRUE(writer->Close());
  EXPECT_FALSE(writer->WriteSample(video, sample, sizeof sample, 1, 0, true));

  std::vector<uint8_t> bytes = ReadFileBytes(path);
  EXPECT_FALSE(hasBox(bytes, "ctts"));  // no offsets were non-zero
  EXPECT_TRUE(hasBox(bytes, "stss"));   // video has a non-sync sample; audio none
  auto reader = Mp4FileReader::Open(path);
  ASSERT_TRUE(reader);
  std::vector<std::vector<uint8_t>> sequenceSets, pictureSets;
  ASSERT_TRUE(reader->H264ParameterSets(video, sequenceSets, pictureSets));
  EXPECT_EQ(sequenceSets.size(), 2u);
  EXPECT_EQ(pictureSets.size(), 1u);
  EXPECT_EQ(reader->AudioChannels(audio), 2);
  EXPECT_TRUE(reader->IsSyncSample(audio, 4));
  EXPECT_FALSE(reader->IsSyncSample(video, 2));
  EXPECT_EQ(reader->Duration(video), 12000u);
  EXPECT_EQ(reader->Duration(audio), 4096u);
}

TEST_F(Mp4FileWriterOutput, FailedWritesAreReportedAtClose) {
  std::vector<std::string> lines;
  SetLogHandler([&](LogSource, const std::string& line) { lines.push_back(line); });
  auto writer = Mp4FileWriter::Create("/dev/full");
  ASSERT_TRUE(writer);
  TrackId audio = writer->AddAudioTrack(48000, 0x40);
  std::vector<uint8_t> sample(3 << 20, 0x21);  // larger than the write buffer, so the failure shows at once
  EXPECT_FALSE(writer->WriteSample(audio, sample.data(), uint32_t(sample.size()), 1024, 0, true));
  EXPECT_FALSE(writer->Close());
  SetLogHandler(nullptr);
  EXPECT_FALSE(lines.empty());
  EXPECT_FALSE(Mp4FileWriter::Create(dir_.File("missing/folder/x.mp4")));
}

// Collects the module's log lines while it lives.
class LogCapture {
 public:
  LogCapture() {
    SetLogHandler([this](LogSource, const std::string& line) { lines_.push_back(line); });
  }
  ~LogCapture() { SetLogHandler(nullptr); }
  int Count(const std::string& part) const {
    return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
      return line.find(part) != std::string::npos;
    }));
  }

 private:
  std::vector<std::string> lines_;
};

void expectSameSamples(Mp4FileReader& ours, Mp4FileReader& theirs, TrackKind kind) {
  TrackId a = ours.FindTrackId(kind), b = theirs.FindTrackId(kind);
  ASSERT_NE(a, kInvalidTrackId);
  ASSERT_EQ(ours.SampleCount(a), theirs.SampleCount(b));
  std::vector<uint8_t> x(1 << 20), y(1 << 20);
  for (uint32_t id = 1; id <= ours.SampleCount(a); ++id) {
    uint32_t xs = 0, ys = 0;
    bool xk = false, yk = false;
    SampleTiming xt, yt;
    ASSERT_TRUE(ours.ReadSample(a, id, x.data(), uint32_t(x.size()), xs, xk, &xt));
    ASSERT_TRUE(theirs.ReadSample(b, id, y.data(), uint32_t(y.size()), ys, yk, &yt));
    ASSERT_EQ(xs, ys) << id;
    EXPECT_EQ(xk, yk) << id;
    EXPECT_EQ(xt.decodeTime, yt.decodeTime) << id;
    EXPECT_EQ(xt.renderingOffset, yt.renderingOffset) << id;
    EXPECT_TRUE(std::equal(x.begin(), x.begin() + xs, y.begin())) << id;
  }
}

// Tables spread over many scratch-file blocks give the very file the
// in-memory tables give, and ffprobe and our reader find every sample.
TEST_F(Mp4FileWriterOutput, TablesSpanningManyBlocksGiveTheSameFile) {
  std::string source = CachedMp4(SourceOptions());
  ASSERT_FALSE(source.empty());
  WriterOptions blocks;
  blocks.tableBlockEntries = 7;
  std::string spread = dir_.File("blocks.mp4"), kept = dir_.File("memory.mp4");
  ASSERT_TRUE(remux(source, spread, blocks));
  {
    // No scratch file can be made there: the writer keeps its tables in
    // memory, says so once, and still writes a good file.
    LogCapture log;
    WriterOptions noScratch;
    noScratch.scratchFolder = dir_.File("missing");
    ASSERT_TRUE(remux(source, kept, noScratch));
    EXPECT_EQ(log.Count("stay in memory"), 1);
  }
  std::vector<uint8_t> spreadBytes = ReadFileBytes(spread);
  ASSERT_GT(spreadBytes.size(), 1000u);
  EXPECT_TRUE(spreadBytes == ReadFileBytes(kept));
  for (const char* kind : {"v", "a"})
    expectSamePackets(ProbePackets(spread, kind), ProbePackets(source, kind));
  auto ours = Mp4FileReader::Open(spread);
  auto theirs = Mp4FileReader::Open(source);
  ASSERT_TRUE(ours && theirs);
  expectSameSamples(*ours, *theirs, TrackKind::Video);
  expectSameSamples(*ours, *theirs, TrackKind::Audio);
  // The scratch file never had a name in the folder.
  int entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
    EXPECT_TRUE(entry.path().filename() == "blocks.mp4" || entry.path().filename() == "memory.mp4")
        << entry.path();
    ++entries;
  }
  EXPECT_EQ(entries, 2);
}

// A scratch file that stops taking or giving back blocks fails the
// recording with one line saying why, and leaves no movie box behind that
// could pass for a finished file.
TEST(Mp4FileWriterScratch, ScratchFileFailuresFailTheRecording) {
  TempDir dir;
  struct Case {
    const char* name;
    int fd;
    bool writesFail;
    const char* line;
  } cases[] = {
      {"writes fail", ::open("/dev/full", O_RDWR | O_CLOEXEC), true, "cannot write the table scratch file"},
      {"reads fail", ::open(dir.File("write-only").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600), false,
       "cannot read the table scratch file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_GE(c.fd, 0);
    LogCapture log;
    WriterOptions options;
    options.tableBlockEntries = 4;
    options.scratchDescriptor = c.fd;
    std::string path = dir.File(std::string(c.name) + ".mp4");
    auto writer = Mp4FileWriter::Create(path, options);
    ASSERT_TRUE(writer);
    TrackId audio = writer->AddAudioTrack(44100, 0x67);
    const uint8_t sample[10] = {0x21};
    int failed = 0;
    for (int i = 0; i < 40; ++i) {
      if (!writer->WriteSample(audio, sample, sizeof sample, 1024, 0, true)) ++failed;
    }
    EXPECT_EQ(failed, c.writesFail ? 36 : 0);  // the fifth sample needs the first block moved out
    EXPECT_FALSE(writer->Close());
    EXPECT_EQ(log.Count(c.line), 1);
    EXPECT_EQ(log.Count("could not finish"), 1);
    EXPECT_FALSE(hasBox(ReadFileBytes(path), "moov"));
    EXPECT_FALSE(Mp4FileReader::Open(path));
  }
}

// A recording past 4 GiB cannot be made in a test; the movie box is built
// from tables whose chunks lie there and read back by the parser.
TEST(Mp4FileMovieBox, ChunkOffsetsPast4GiBUseWideOffsets) {
  TempDir dir;
  std::vector<std::unique_ptr<WriterTrack>> tracks;
  tracks.push_back(std::make_unique<WriterTrack>());
  WriterTrack& t = *tracks.back();
  t.id = 1;
  t.kind = TrackKind::Audio;
  t.timeScale = 48000;
  t.objectType = 0x40;
  const uint64_t base = 0x100000000ull - 100;
  for (uint32_t i = 0; i < 4; ++i) t.table.Add(100, 1024, 0, true, base + i * 100, true);
  t.table.Finish();
  OutputFile out;
  ASSERT_TRUE(out.Open(dir.File("moov")));
  ASSERT_TRUE(WriteMovieBox(out, tracks));
  ASSERT_TRUE(out.Close());
  std::vector<uint8_t> moov = ReadFileBytes(dir.File("moov"));
  ASSERT_TRUE(hasBox(moov, "co64"));
  EXPECT_FALSE(hasBox(moov, "stco"));
  BoxWalker walker(moov.data() + 8, moov.size() - 8);
  Box box;
  while (walker.Next(box) && box.type != FourCC("trak")) {
  }
  ASSERT_EQ(box.type, FourCC("trak"));
  ReaderTrack parsed;
  std::string why;
  ASSERT_TRUE(ParseTrack(box.payload, box.size, base + 1000, parsed, why)) << why;
  ASSERT_EQ(parsed.offsets.size(), 4u);
  EXPECT_EQ(parsed.offsets[3], base + 300);
  std::string tooSmall;
  EXPECT_FALSE(ParseTrack(box.payload, box.size, base + 350, parsed = ReaderTrack(), tooSmall));
}

// The journal sits beside the recording and leaves its bytes alone: the file
// is the one the writer makes without it, and the journal is gone after
// Close. Kept whole (the recorder died once the movie box was out), it
// rebuilds that very file; while it is there, the path is not recorded over.
TEST_F(Mp4FileWriterOutput, TheJournalLeavesTheFileAsItIsAndRebuildsItWhole) {
  std::string source = CachedMp4(SourceOptions());
  ASSERT_FALSE(source.empty());
  std::string plain = dir_.File("plain.mp4"), journaled = dir_.File("journaled.mp4");
  WriterOptions withJournal;
  withJournal.journal = true;
  ASSERT_TRUE(remux(source, plain));
  const std::string journal = JournalPathFor(journaled), kept = dir_.File("kept.journal");
  // A second name keeps the journal's bytes when Close removes the first.
  ASSERT_TRUE(remux(source, journaled, withJournal, [&](TrackKind, uint32_t) {
    if (!std::filesystem::exists(kept)) {
      ASSERT_EQ(::link(journal.c_str(), kept.c_str()), 0);
    }
  }));
  const std::vector<uint8_t> bytes = ReadFileBytes(plain);
  EXPECT_TRUE(ReadFileBytes(journaled) == bytes);
  EXPECT_FALSE(std::filesystem::exists(journal));

  std::string rebuilt = dir_.File("rebuilt.mp4");
  WriteFileBytes(rebuilt, bytes);
  std::filesystem::rename(kept, JournalPathFor(rebuilt));
  {
    LogCapture log;
    EXPECT_FALSE(Mp4FileWriter::Create(rebuilt, withJournal));
    EXPECT_EQ(log.Count("refusing to record over"), 1);
  }
  EXPECT_TRUE(ReadFileBytes(rebuilt) == bytes);
  RecoveryReport report;
  ASSERT_EQ(RebuildFromJournal(rebuilt, report), RecoveryResult::Rebuilt) << report.problem;
  EXPECT_TRUE(ReadFileBytes(rebuilt) == bytes);
  EXPECT_EQ(report.droppedBytes, 0u);  // the old movie box is no media
  EXPECT_FALSE(std::filesystem::exists(JournalPathFor(rebuilt)));
  EXPECT_EQ(RebuildFromJournal(rebuilt, report), RecoveryResult::NoJournal);
}

// A recording cut off: its file and journal as a kill leaves them (the write
// buffer lost), and as a power cut may (a torn last block, media turned to
// zeros). The rebuilt file holds the recording's first samples unchanged and
// decodes cleanly. Its journal takes in every sample at once here, so a kill
// costs nothing the journal named: a block that went out before its samples
// reached the file would show as a sample lost. A journal beside another
// file changes nothing.
TEST_F(Mp4FileWriterOutput, ARecordingCutOffIsRebuiltFromWhatItsJournalNames) {
  std::string source = CachedMp4(SourceOptions());
  ASSERT_FALSE(source.empty());
  std::string full = dir_.File("full.mp4"), cut = dir_.File("cut.mp4");
  WriterOptions withJournal;
  withJournal.journal = true;
  withJournal.journalEvery = std::chrono::milliseconds(0);
  const size_t cutAfter = 120;
  uint32_t written[2] = {0, 0};  // video, audio samples before the cut
  std::vector<uint64_t> starts;  // file offset of each sample, in writing order
  uint64_t at = FileTypeBox().size() + 16;
  std::vector<uint8_t> cutMedia, cutJournal;
  ASSERT_TRUE(remux(source, full, withJournal, [&](TrackKind kind, uint32_t size) {
    starts.push_back(at);
    at += size;
    if (starts.size() > cutAfter) return;
    ++written[kind == TrackKind::Video ? 0 : 1];
    if (starts.size() == cutAfter) {
      cutMedia = ReadFileBytes(full);
      cutJournal = ReadFileBytes(JournalPathFor(full));
    }
  }));
  const std::vector<Packet> video = ProbePackets(full, "v"), audio = ProbePackets(full, "a");
  // Rebuilds the cut file from these bytes; checks it against the full
  // recording and returns the samples it kept.
  auto rebuild = [&](const std::vector<uint8_t>& media, const std::vector<uint8_t>& journal) {
    WriteFileBytes(cut, media);
    WriteFileBytes(JournalPathFor(cut), journal);
    RecoveryReport report;
    EXPECT_EQ(RebuildFromJournal(cut, report), RecoveryResult::Rebuilt) << report.problem;
    EXPECT_EQ(DecodeErrors(cut), "");
    std::vector<Packet> v = ProbePackets(cut, "v"), a = ProbePackets(cut, "a");
    EXPECT_EQ(v.size(), report.videoSamples);
    EXPECT_EQ(a.size(), report.audioSamples);
    if (v.size() <= video.size()) expectSamePackets(v, {video.begin(), video.begin() + v.size()});
    if (a.size() <= audio.size()) expectSamePackets(a, {audio.begin(), audio.begin() + a.size()});
    return std::make_pair(report.videoSamples, report.audioSamples);
  };
  {
    SCOPED_TRACE("killed");
    const auto kept = rebuild(cutMedia, cutJournal);
    EXPECT_EQ(kept.first, written[0]);
    EXPECT_EQ(kept.second, written[1]);
  }
  {
    SCOPED_TRACE("torn last block");
    const auto whole = rebuild(cutMedia, cutJournal);
    const auto torn = rebuild(cutMedia, {cutJournal.begin(), cutJournal.end() - 3});
    EXPECT_LT(torn.first + torn.second, whole.first + whole.second);
    EXPECT_GT(torn.first + torn.second, 0u);
  }
  {
    SCOPED_TRACE("zeros from the 60th sample on");
    std::vector<uint8_t> zeroed = cutMedia;
    std::fill(zeroed.begin() + static_cast<std::ptrdiff_t>(starts[60]), zeroed.end(), 0);
    const auto kept = rebuild(zeroed, cutJournal);
    EXPECT_EQ(kept.first + kept.second, 60u);
  }
  {
    SCOPED_TRACE("another file");
    // Made alike (the same boxes up front) from other pictures.
    SourceOptions otherOptions;
    otherOptions.bFrames = false;
    std::string other = dir_.File("other.mp4");
    ASSERT_TRUE(remux(CachedMp4(otherOptions), other));
    const std::vector<uint8_t> otherBytes = ReadFileBytes(other);
    WriteFileBytes(other, otherBytes);
    WriteFileBytes(JournalPathFor(other), cutJournal);
    RecoveryReport report;
    EXPECT_EQ(RebuildFromJournal(other, report), RecoveryResult::Refused);
    EXPECT_NE(report.problem.find("no whole sample its journal names"), std::string::npos) << report.problem;
    EXPECT_TRUE(ReadFileBytes(other) == otherBytes);
    EXPECT_TRUE(std::filesystem::exists(JournalPathFor(other)));
  }
}

}  // namespace

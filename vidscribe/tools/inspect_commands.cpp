// vidscribe info, seek and extract: reading recordings back.
#include <cstdio>
#include <string>

#include "elementary_streams.h"
#include "mp4_commands.h"
#include "tool_support.h"

namespace vidscribe_tool {

namespace {

const char kInfoUsage[] =
    "usage: vidscribe info FILE\n"
    "  FLV: prints the header, the onMetaData entries, tag counts, duration and key frames.\n"
    "  MP4: prints the size, duration, picture size and each track's codec and samples.\n";
const char kSeekUsage[] =
    "usage: vidscribe seek FILE MS [--key]\n"
    "  Prints the time of the tag a seek to MS positions on; --key walks back to a key frame.\n";
const char kExtractUsage[] =
    "usage: vidscribe extract FILE --h264 OUT.h264 [--aac OUT.aac]\n"
    "  Writes the video as Annex B (4-byte start codes, parameter sets before the\n"
    "  first frame) and the AAC audio as ADTS frames. FILE is FLV or MP4.\n";

struct TagCounts {
  int64_t audio = 0, video = 0, script = 0, other = 0, keyFrames = 0;
  uint32_t lastTime = 0;
};

}  // namespace

int RunInfo(int argc, char** argv) {
  Args args(argc, argv, {});
  if (args.Has("--help")) {
    std::fputs(kInfoUsage, stdout);
    return 0;
  }
  if (!args.Unknown().empty() || args.Positional().size() != 1) return Fail("info: need FILE (see --help)");
  const char* path = args.Positional()[0].c_str();
  if (IsMp4File(path)) return InfoMp4(path);
  Vidscriber reader(false);
  if (!reader.Open(path, FLVIO::ModeRead)) return Fail("info: %s is not a readable FLV file", path);
  uint8_t header[9] = {};
  reader.io().Seek(0, 0);
  reader.io().Read(header, 9);
  std::printf("file: %s\nheader: version %d, audio %s, video %s\n", path, header[3],
              (header[4] & 4) ? "yes" : "no", (header[4] & 1) ? "yes" : "no");
  vidscribe::MediaDescription opened;
  reader.Describe(opened);
  std::string metaData;
  const bool hasMetaData = reader.DescribeMetaData(metaData);
  TagCounts counts;
  FlvTag tag;
  while (reader.ReadTag(tag)) {
    int offset = 0;
    switch (tag.GetType()) {
      case vidscribe::kAudioTag:
        ++counts.audio;
        reader.ParseTag(tag, offset, 0);
        break;
      case vidscribe::kVideoTag:
        ++counts.video;
        if (reader.ParseTag(tag, offset, 0) == vidscribe::kKindKeyVideo) ++counts.keyFrames;
        break;
      case vidscribe::kScriptTag:
        ++counts.script;
        if (counts.script == 1)
          std::fputs(hasMetaData ? metaData.c_str() : "script tag: undecodable\n", stdout);
        break;
      default:
        ++counts.other;
        break;
    }
    if (tag.GetTimeStamp() > counts.lastTime) counts.lastTime = tag.GetTimeStamp();
  }
  std::printf("tags: %lld audio, %lld video, %lld script, %lld other\n", static_cast<long long>(counts.audio),
              static_cast<long long>(counts.video), static_cast<long long>(counts.script),
              static_cast<long long>(counts.other));
  vidscribe::MediaDescription d;
  reader.Describe(d);
  std::printf("duration: %u ms (last tag at %u ms)\n", d.duration, counts.lastTime);
  if (d.videoCodec != -1) std::printf("video: codec %d, %dx%d\n", d.videoCodec, d.width, d.height);
  if (d.audioCodec != -1)
    std::printf("audio: codec %d, %d Hz, %d channels\n", d.audioCodec, d.sampleRate, d.channels);
  std::printf("key frames: %lld (index in metadata: %u entries)\n", static_cast<long long>(counts.keyFrames),
              opened.indexedKeyFrames);
  return 0;
}

int RunSeek(int argc, char** argv) {
  Args args(argc, argv, {});
  if (args.Has("--help")) {
    std::fputs(kSeekUsage, stdout);
    return 0;
  }
  int64_t ms = 0;
  if (!args.Unknown().empty() || args.Positional().size() != 2)
    return Fail("seek: need FILE MS (see --help)");
  if (!ParseInteger(args.Positional()[1], false, &ms) || ms > 0xFFFFFFFFll)
    return Fail("seek: MS must be a whole number of milliseconds");
  const char* path = args.Positional()[0].c_str();
  Vidscriber reader(false);
  if (!reader.Open(path, FLVIO::ModeRead)) return Fail("seek: %s is not a readable FLV file", path);
  const int found = reader.SeekTag(static_cast<uint32_t>(ms), args.Has("--key") ? 1 : 0);
  if (found < 0) return Fail("seek: %s holds no tags", path);
  std::printf("%d\n", found);
  return 0;
}

namespace {

bool frameHasSps(const uint8_t* data, int32_t length) {
  vidscribe::AnnexBUnits units(data, static_cast<size_t>(length));
  const uint8_t* unit = nullptr;
  size_t size = 0;
  while (units.Next(&unit, &size)) {
    if (size > 0 && vidscribe::UnitType(unit) == vidscribe::kUnitSps) return true;
  }
  return false;
}

}  // namespace

int RunExtract(int argc, char** argv) {
  Args args(argc, argv, {"--h264", "--aac"});
  if (args.Has("--help")) {
    std::fputs(kExtractUsage, stdout);
    return 0;
  }
  if (!args.Unknown().empty() || args.Positional().size() != 1 || args.Value("--h264").empty())
    return Fail("extract: need FILE --h264 OUT.h264 (see --help)");
  const char* path = args.Positional()[0].c_str();
  if (OutputsOverlap("extract", {path}, {args.Value("--h264"), args.Value("--aac")})) return 1;
  if (IsMp4File(path)) return ExtractMp4(path, args.Value("--h264"), args.Value("--aac"));
  Vidscriber reader(false);
  if (!reader.Open(path, FLVIO::ModeRead)) return Fail("extract: %s is not a readable FLV file", path);
  PendingOutput video(args.Value("--h264"));
  if (!video.ok()) return Fail("extract: cannot create %s", PartialName(video.path).c_str());
  std::unique_ptr<PendingOutput> audio;
  if (!args.Value("--aac").empty()) {
    audio = std::make_unique<PendingOutput>(args.Value("--aac"));
    if (!audio->ok()) return Fail("extract: cannot create %s", PartialName(audio->path).c_str());
  }
  FlvTag tag;
  bool firstFrame = true;
  int64_t frames = 0, audioFrames = 0;
  while (reader.ReadTag(tag)) {
    int offset = 0;
    const uint8_t type = tag.GetType();
    const uint8_t kind = reader.ParseTag(tag, offset, 1);
    int32_t length = 0;
    const bool media =
        kind == vidscribe::kKindAudio || kind == vidscribe::kKindVideo || kind == vidscribe::kKindKeyVideo;
    uint8_t* payload = media ? tag.GetPayLoad(offset, length) : nullptr;
    if (payload == nullptr) continue;
    vidscribe::MediaDescription d;
    reader.Describe(d);
    if (type == vidscribe::kVideoTag && kind != vidscribe::kKindAudio &&
        d.videoCodec == vidscribe::kCodecAvc) {
      if (firstFrame && !frameHasSps(payload, length)) {
        // Both sets carry 16-bit lengths in the configuration record.
        std::vector<uint8_t> sets(2 * 0xFFFF + 8);
        const int setsLength = reader.MakeSeqNal(sets.data(), static_cast<int>(sets.size()));
        video.Write(sets.data(), static_cast<size_t>(setsLength));
      }
      firstFrame = false;
      video.Write(payload, static_cast<size_t>(length));
      ++frames;
    } else if (type == vidscribe::kAudioTag && kind == vidscribe::kKindAudio && audio &&
               d.audioCodec == vidscribe::kSoundAac && offset == 10 && tag.GetDataSize() > 2) {
      // Mute frames added by padding carry no raw data and have no ADTS form.
      audio->Write(payload, static_cast<size_t>(length));
      ++audioFrames;
    }
  }
  if (frames == 0) return Fail("extract: %s holds no H.264 frames", path);
  if (audio && audioFrames == 0) return Fail("extract: %s holds no AAC frames", path);
  if (!video.Keep() || (audio && !audio->Keep())) return Fail("extract: writing the output failed");
  return 0;
}

}  // namespace vidscribe_tool

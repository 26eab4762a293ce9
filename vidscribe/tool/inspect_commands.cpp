// vidscribe info, seek and extract: reading recordings back.
#include <cstdio>
#include <map>

#include "amf/amf0_metadata.h"
#include "elementary_streams.h"
#include "mp4_commands.h"
#include "recorder/vidscriber_state.h"
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

void printValue(const std::string& indent, Flash::AS_Value* value);

void printMembers(const std::string& indent, Flash::AS_Value* container) {
  for (const auto& child : container->children) {
    auto* variable = static_cast<Flash::AS_Variable*>(child.get());
    Flash::AS_Value* value = variable->Value();
    if (value != nullptr && value->marker == Flash::kStrictArray) {
      std::printf("%s%s: %zu entries\n", indent.c_str(), variable->name.c_str(), value->children.size());
      continue;
    }
    std::printf("%s%s:", indent.c_str(), variable->name.c_str());
    printValue(indent, value);
  }
}

void printValue(const std::string& indent, Flash::AS_Value* value) {
  if (value == nullptr) {
    std::printf(" (none)\n");
    return;
  }
  switch (value->marker) {
    case Flash::kNumber:
      std::printf(" %g\n", value->AsNumber());
      break;
    case Flash::kBoolean:
      std::printf(" %s\n", value->AsBool() ? "true" : "false");
      break;
    case Flash::kString:
    case Flash::kLongString:
      std::printf(" %s\n", value->AsString().c_str());
      break;
    case Flash::kObject:
    case Flash::kEcmaArray:
      std::printf("\n");
      printMembers(indent + "  ", value);
      break;
    default:
      std::printf(" (AMF0 type %d)\n", value->marker);
      break;
  }
}

void printMetaData(FlvTag& tag) {
  Flash::MetaDataBody meta;
  if (!Flash::DecodeMetaData(tag.GetData(), tag.GetDataSize(), meta)) {
    std::printf("script tag: undecodable\n");
    return;
  }
  std::printf("%s:\n", meta.name.value.c_str());
  printMembers("  ", &meta.entries);
}

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
  vidscribe::VidscriberState& s = vidscribe::VidscriberAccess::Of(reader);
  uint8_t header[9] = {};
  reader.io().Seek(0, 0);
  reader.io().Read(header, 9);
  std::printf("file: %s\nheader: version %d, audio %s, video %s\n", path, header[3],
              (header[4] & 4) ? "yes" : "no", (header[4] & 1) ? "yes" : "no");
  const size_t indexed = s.KeyframeIndex.size();
  reader.io().Seek(vidscribe::kFirstSlot, 0);
  TagCounts counts;
  FlvTag tag;
  while (reader.ReadTag(tag)) {
    int offset = 0;
    switch (tag.GetType()) {
      case 8:
        ++counts.audio;
        reader.ParseTag(tag, offset, 0);
        break;
      case 9:
        ++counts.video;
        if (reader.ParseTag(tag, offset, 0) == 3) ++counts.keyFrames;
        break;
      case 18:
        ++counts.script;
        if (counts.script == 1) printMetaData(tag);
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
  std::printf("duration: %u ms (last tag at %u ms)\n", s.duration, counts.lastTime);
  if (s.videoCodec != -1)
    std::printf("video: codec %d, %dx%d\n", s.videoCodec, s.params.width, s.params.height);
  if (s.params.audioCodec != -1)
    std::printf("audio: codec %d, %d Hz, %d channels\n", s.params.audioCodec, s.params.sampleRate,
                s.params.channels);
  std::printf("key frames: %lld (index in metadata: %zu entries)\n", static_cast<long long>(counts.keyFrames),
              indexed);
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
  for (int32_t i = 0; i + 3 < length; ++i)
    if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1 && UnitType(data + i + 3) == 7) return true;
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
  if (IsMp4File(path)) return ExtractMp4(path, args.Value("--h264"), args.Value("--aac"));
  Vidscriber reader(false);
  if (!reader.Open(path, FLVIO::ModeRead)) return Fail("extract: %s is not a readable FLV file", path);
  vidscribe::VidscriberState& s = vidscribe::VidscriberAccess::Of(reader);
  PendingOutput video(args.Value("--h264"));
  if (!video.ok()) return Fail("extract: cannot create %s", video.path.c_str());
  std::unique_ptr<PendingOutput> audio;
  if (!args.Value("--aac").empty()) {
    audio = std::make_unique<PendingOutput>(args.Value("--aac"));
    if (!audio->ok()) return Fail("extract: cannot create %s", audio->path.c_str());
  }
  FlvTag tag;
  bool firstFrame = true;
  int64_t frames = 0, audioFrames = 0;
  while (reader.ReadTag(tag)) {
    int offset = 0;
    const uint8_t type = tag.GetType();
    const uint8_t kind = reader.ParseTag(tag, offset, 1);
    int32_t length = 0;
    uint8_t* payload = (kind == 1 || kind == 2 || kind == 3) ? tag.GetPayLoad(offset, length) : nullptr;
    if (payload == nullptr) continue;
    if (type == 9 && (kind == 2 || kind == 3) && s.videoCodec == 7) {
      if (firstFrame && !frameHasSps(payload, length)) {
        std::vector<uint8_t> sets(s.params.sps.size() + s.params.pps.size() + 8);
        const int setsLength = s.params.MakeSeqNal(sets.data(), static_cast<int>(sets.size()));
        video.Write(sets.data(), static_cast<size_t>(setsLength));
      }
      firstFrame = false;
      video.Write(payload, static_cast<size_t>(length));
      ++frames;
    } else if (type == 8 && kind == 1 && audio && s.params.audioCodec == 10 && offset == 10 &&
               tag.GetDataSize() > 2) {
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

// ParseTag: classifies a tag read whole, keeps the stream parameters it
// reveals, and optionally turns its payload into what a decoder takes
// (ADTS frames, start-code units) in place in the tag's buffer.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "amf/amf0_metadata.h"
#include "base/big_endian.h"
#include "bitstream/aac_config.h"
#include "bitstream/annexb.h"
#include "log/log_channel.h"
#include "recorder/vidscriber_state.h"

using vidscribe::kFlvTag;
using vidscribe::kKindAudio;
using vidscribe::kKindConfig;
using vidscribe::kKindKeyVideo;
using vidscribe::kKindOther;
using vidscribe::kKindVideo;
using vidscribe::LogHexDump;
using vidscribe::LogPrint;

namespace {

constexpr int kBody = vidscribe::kSlotHeaderSize;  // first body byte in the tag buffer

// Body bytes really present in the buffer: a tag whose body was not read
// (or only partly) is classified from what is there and never read past.
int32_t bodyHeld(const FlvTag& tag) {
  const int32_t dataSize = static_cast<int32_t>(tag.GetDataSize());
  return tag.bodyRead < dataSize ? tag.bodyRead : dataSize;
}

double numberOf(Flash::AS_Value& array, const char* name, bool* found) {
  Flash::AS_Variable* member = array.FindMember(name);
  *found = member != nullptr && member->Value() != nullptr && member->Value()->marker == Flash::kNumber;
  return *found ? member->AsNumber() : 0.0;
}

// Converts a number from a file to the nearest value of an integer type,
// without the undefined behaviour of an out-of-range cast. Nearest, not
// truncated: seconds such as 8.04 are not exact in binary, and 8.04 * 1000
// truncated is 8039, a millisecond before the frame it names.
template <typename T>
T clampTo(double value) {
  if (!(value > 0.0)) return 0;
  value = std::round(value);
  if (value >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  return static_cast<T>(value);
}

void loadKeyframeIndex(vidscribe::VidscriberState& s, Flash::AS_Value& entries) {
  Flash::AS_Variable* member = entries.FindMember("keyframes");
  Flash::AS_Value* keyframes = member != nullptr ? member->Value() : nullptr;
  if (keyframes == nullptr) return;
  Flash::AS_Variable* positionsMember = keyframes->FindMember("filepositions");
  Flash::AS_Variable* timesMember = keyframes->FindMember("times");
  Flash::AS_Value* positions = positionsMember != nullptr ? positionsMember->Value() : nullptr;
  Flash::AS_Value* times = timesMember != nullptr ? timesMember->Value() : nullptr;
  if (positions == nullptr || times == nullptr) return;
  s.KeyframeIndex.clear();
  const size_t count = std::min(positions->children.size(), times->children.size());
  for (size_t i = 0; i < count; ++i) {
    if (!positions->children[i] || !times->children[i]) continue;
    const uint64_t key = clampTo<uint64_t>(times->children[i]->AsNumber() * 1000);
    const int64_t value = clampTo<int64_t>(positions->children[i]->AsNumber());
    s.KeyframeIndex[key] = value;
    LogPrint(kFlvTag, "[%d] %lld pos %lld", static_cast<int>(i), static_cast<long long>(key),
             static_cast<long long>(value));
  }
  LogPrint(kFlvTag, "load %d keyframes", static_cast<int>(s.KeyframeIndex.size()));
}

}  // namespace

uint8_t Vidscriber::ParseTag(FlvTag& tag, int& payloadOffset, uint8_t convert, uint32_t* time) {
  if (time != nullptr) *time = tag.GetTimeStamp();
  const int32_t held = bodyHeld(tag);
  uint8_t* body = tag.buffer + kBody;
  vidscribe::StreamParams& p = state->params;
  switch (tag.GetType()) {
    case vidscribe::kAudioTag: {
      if (held < 1) return kKindOther;
      p.audioCodec = body[0] >> 4;
      if (p.audioCodec == vidscribe::kSoundAac && held >= 2 && body[1] == 0) {
        LogHexDump(kFlvTag, body, static_cast<unsigned>(held), "ignore audio sequence header");
        if (held >= 4) {
          vidscribe::ReadAudioSpecificConfig(body + 2, &p.sampleRate, &p.channels, &p.aacProfile);
          LogPrint(kFlvTag, "Got sampleRate=%d, channel=%d profile=%d from aac seq header", p.sampleRate,
                   p.channels, p.aacProfile);
        }
        payloadOffset = 17;
        return kKindConfig;
      }
      if (p.sampleRate == 0) {
        static const int kRates[4] = {5500, 11025, 22050, 44100};
        p.sampleRate = kRates[(body[0] >> 2) & 3];
        p.channels = (body[0] & 1) ? 2 : 1;
      }
      if (p.audioCodec != vidscribe::kSoundAac) {
        payloadOffset = 16;
        return kKindAudio;
      }
      payloadOffset = 17;
      if (convert && held >= 2) {
        p.genAdtsHeader(tag.buffer + 10, static_cast<int>(tag.GetDataSize()) - 2);
        payloadOffset = 10;
      }
      return kKindAudio;
    }
    case vidscribe::kVideoTag: {
      if (held < 1) return kKindOther;
      state->videoCodec = body[0] & 0x0F;
      const uint8_t kind = (body[0] & 0x10) ? kKindKeyVideo : kKindVideo;
      if (state->videoCodec != vidscribe::kCodecAvc) {
        payloadOffset = 17;
        return kind;
      }
      payloadOffset = 20;
      if (held >= 2 && body[1] == 0) {
        LogHexDump(kFlvTag, body, static_cast<unsigned>(held), "ignore video sequence header");
        if (convert && held >= 11) p.ParseAVCc(body + 5, held - 5);
        return kKindConfig;
      }
      if (held >= 5) {
        const uint32_t cts = vidscribe::GetU24(body + 2);
        if (time != nullptr && cts != 0) *time += cts;
        if (convert) vidscribe::LengthPrefixesToStartCodes(body + 5, static_cast<size_t>(held - 5));
      }
      return kind;
    }
    case vidscribe::kScriptTag:
      if (!convert) return kKindOther;
      payloadOffset = 15;
      loadMetaData(tag);
      return kKindConfig;
    default:
      payloadOffset = 0;
      return kKindOther;
  }
}

void Vidscriber::loadMetaData(FlvTag& tag) {
  LogPrint(kFlvTag, "Dump MetaData");
  Flash::MetaDataBody meta;
  if (!Flash::DecodeMetaData(tag.buffer + kBody, static_cast<size_t>(bodyHeld(tag)), meta)) {
    LogPrint(kFlvTag, "unable to decode metadata");
    return;
  }
  LogPrint("Flash", "(String) %s : %s\n", meta.name.name.c_str(), meta.name.value.c_str());
  bool found = false;
  const double duration = numberOf(meta.entries, "duration", &found);
  if (found) {
    state->duration = clampTo<uint32_t>(duration * 1000);
    LogPrint(kFlvTag, "read duration %d", static_cast<int>(state->duration));
  }
  const double width = numberOf(meta.entries, "width", &found);
  if (found) {
    state->params.width = clampTo<int32_t>(width);
    LogPrint(kFlvTag, "read width %d", state->params.width);
  }
  const double height = numberOf(meta.entries, "height", &found);
  if (found) {
    state->params.height = clampTo<int32_t>(height);
    LogPrint(kFlvTag, "read height %d", state->params.height);
  }
  const double framerate = numberOf(meta.entries, "framerate", &found);
  if (found) {
    state->framerate = framerate;
    LogPrint(kFlvTag, "read framerate %d", clampTo<int32_t>(framerate));
  }
  loadKeyframeIndex(*state, meta.entries);
  meta.entries.Dump();
}

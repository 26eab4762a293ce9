// WriteMetaData: rebuilds the onMetaData tag from the writer's final state
// and puts it at slot 9. The old tag (size S, back-pointer included) and the
// new one (size T) rarely match in key-frame mode, so the media behind it is
// moved: down and the file cut when the new tag is smaller, up from the end
// when it is larger. Key-frame positions were taken before the move and are
// shifted by D = T - S as the index is written, so they point at the tags'
// new places.
//
// The old tag's size comes from the file, so it is checked before anything
// moves: its back-pointer must repeat it and a tag (or the end of the file)
// must follow. A size that does not fit is refused and the file left alone;
// trusting it would move the wrong bytes and cut the recording short. When
// the file must grow, the room is claimed first, so a full disk refuses the
// rewrite before a single byte of media has moved.
#include <algorithm>
#include <memory>
#include <vector>

#include "amf/amf0_metadata.h"
#include "log/log_channel.h"
#include "recorder/closing_metadata.h"
#include "recorder/vidscriber_state.h"

using Flash::AS_Double;
using Flash::AS_ECMA_Array;
using Flash::AS_Object;
using Flash::AS_Strict_Array;
using Flash::AS_UInt8;
using vidscribe::VidscriberState;

namespace {

// Fixed memory whatever the file size. A page-sized block made the move of
// a 1 GB recording cost several times a plain copy of it (two seeks, a read
// and a write per 4 KiB); a 1 MiB block brings it near copy speed.
constexpr int32_t kMoveBlock = 1 << 20;

constexpr int64_t kDamaged = -1;

// The existing onMetaData at slot 9; returns its size S with back-pointer,
// 0 when the first tag is not script data, kDamaged when its size does not
// fit the file.
int64_t readOldMetaData(FLVIO& io, Flash::MetaDataBody& body) {
  FlvTag tag;
  io.Seek(vidscribe::kFirstSlot, 0);
  if (!tag.ReadHdr(io, 0) || tag.GetType() != vidscribe::kScriptTag) return 0;
  const int64_t size = static_cast<int64_t>(tag.GetDataSize()) + vidscribe::kSlotHeaderSize;
  if (!vidscribe::MetaDataFits(io, tag.GetDataSize())) return kDamaged;
  io.Seek(vidscribe::kFirstSlot + vidscribe::kSlotHeaderSize, 0);
  if (tag.ReadBody(io, 0)) {
    Flash::MetaDataBody decoded;
    if (Flash::DecodeMetaData(tag.GetData(), tag.GetDataSize(), decoded)) {
      body.entries.children = std::move(decoded.entries.children);
    }
  }
  return size;
}

void setNumber(AS_ECMA_Array& array, const char* name, double value) {
  array.SetMember(name, std::make_unique<AS_Double>(value));
}

void setBool(AS_ECMA_Array& array, const char* name, bool value) {
  array.SetMember(name, std::make_unique<AS_UInt8>(value ? 1 : 0));
}

void setStreamEntries(const VidscriberState& s, AS_ECMA_Array& array) {
  const uint32_t duration = s.duration;
  setNumber(array, "duration", duration / 1000.0);
  setBool(array, "hasVideo", s.videoCodec != -1);
  setNumber(array, "width", s.params.width);
  setNumber(array, "height", s.params.height);
  setNumber(array, "framerate", s.framerate);
  setNumber(array, "videocodecid", s.videoCodec);
  setNumber(array, "videodatarate",
            duration == 0 ? 0.0 : static_cast<double>(s.videoBytes) * 8 * 1000.0 / duration);
  setBool(array, "hasAudio", s.params.audioCodec != -1);
  setNumber(array, "audiocodecid", s.params.audioCodec);
  setNumber(array, "audiosamplerate", s.params.sampleRate);
  setNumber(array, "audiosamplesize", 16);
  setBool(array, "stereo", s.params.channels >= 2);
  if (!s.keyframeMode) {
    setBool(array, "hasKeyframes", false);
  } else if (array.FindMember("hasKeyframes") != nullptr) {
    setBool(array, "hasKeyframes", true);  // a file that gets an index now has one
  }
}

void setKeyframeEntries(const VidscriberState& s, AS_ECMA_Array& array, int64_t oldSize) {
  Flash::AS_Variable* member = array.FindMember("keyframes");
  if (member == nullptr || member->Value() == nullptr || member->Value()->marker != Flash::kObject) {
    array.SetMember("keyframes", std::make_unique<AS_Object>());
    member = array.FindMember("keyframes");
  }
  Flash::AS_Value* keyframes = member->Value();
  keyframes->SetMember("filepositions", std::make_unique<AS_Strict_Array>());
  keyframes->SetMember("times", std::make_unique<AS_Strict_Array>());
  const int64_t shift =
      28 + array.EncodedSize() + 18 * static_cast<int64_t>(s.KeyframeIndex.size()) - oldSize;
  Flash::AS_Value* positions = keyframes->FindMember("filepositions")->Value();
  Flash::AS_Value* times = keyframes->FindMember("times")->Value();
  for (const auto& entry : s.KeyframeIndex) {
    times->AddValue(std::make_unique<AS_Double>(entry.first / 1000.0));
    positions->AddValue(std::make_unique<AS_Double>(static_cast<double>(entry.second + shift)));
  }
}

// Copies [from, end) to from - distance, front to back, then cuts the file.
bool moveDown(FLVIO& io, int64_t from, int64_t distance) {
  std::vector<uint8_t> block(kMoveBlock);
  int64_t readAt = from;
  for (;;) {
    io.Seek(readAt, 0);
    const int32_t got = io.Read(block.data(), kMoveBlock);
    if (got <= 0) break;
    io.Seek(readAt - distance, 0);
    if (io.Write(block.data(), got) != got) return false;
    readAt += got;
  }
  io.Truncate(readAt - distance);
  return io.Flush();
}

// Claims distance more bytes at the end of the file; on failure the file is
// cut back to its old length.
bool grow(FLVIO& io, int64_t distance) {
  const int64_t end = io.Seek(0, 2);
  std::vector<uint8_t> zeros(static_cast<size_t>(std::min<int64_t>(distance, kMoveBlock)));
  bool written = end >= 0;
  for (int64_t left = distance; written && left > 0;) {
    const int32_t count = static_cast<int32_t>(std::min<int64_t>(left, kMoveBlock));
    written = io.Write(zeros.data(), count) == count;
    left -= count;
  }
  if (written && io.Flush()) return true;
  if (end >= 0) io.Truncate(end);
  return false;
}

// Copies [from, end) to from + distance, back to front so nothing is
// overwritten before it was read.
bool moveUp(FLVIO& io, int64_t from, int64_t distance) {
  std::vector<uint8_t> block(kMoveBlock);
  int64_t end = io.Size();
  if (!grow(io, distance)) return false;
  while (end > from) {
    const int64_t start = end - from > kMoveBlock ? end - kMoveBlock : from;
    const int32_t count = static_cast<int32_t>(end - start);
    io.Seek(start, 0);
    if (io.Read(block.data(), count) != count) return false;
    io.Seek(start + distance, 0);
    if (io.Write(block.data(), count) != count) return false;
    end = start;
  }
  return true;
}

bool writeHeaderAndMetaData(Vidscriber& writer, const std::vector<uint8_t>& body) {
  writer.WriteHeader();
  writer.io().Seek(vidscribe::kFileHeaderSize, 0);
  return writer.WriteTag(vidscribe::kScriptTag, 0, nullptr, 0, body.data(), static_cast<int>(body.size())) ==
         0;
}

}  // namespace

namespace vidscribe {

std::vector<uint8_t> EncodeClosingMetaData(const VidscriberState& s, Flash::MetaDataBody& body,
                                           int64_t oldSize) {
  setStreamEntries(s, body.entries);
  if (s.keyframeMode) setKeyframeEntries(s, body.entries, oldSize);
  body.name.value = "onMetaData";
  return Flash::EncodeMetaData(body);
}

}  // namespace vidscribe

int Vidscriber::WriteMetaData() {
  vidscribe::MutexGuard guard(state->lock);
  FLVIO& io = state->io;
  if (!io.isOpen()) return 0;
  Flash::MetaDataBody body;
  const int64_t oldSize = readOldMetaData(io, body);
  if (oldSize == kDamaged) {
    vidscribe::LogPrint(vidscribe::kFlvTag,
                        "WriteMetaData refused: the onMetaData size does not fit the file");
    io.Seek(0, 2);
    return -1;
  }
  const std::vector<uint8_t> encoded = vidscribe::EncodeClosingMetaData(*state, body, oldSize);
  if (encoded.empty()) {
    vidscribe::LogPrint(vidscribe::kFlvTag, "WriteMetaData unable to encode metadata");
    return 0;
  }
  const int64_t newSize = static_cast<int64_t>(encoded.size()) + vidscribe::kSlotHeaderSize;
  const int64_t mediaStart = vidscribe::kFileHeaderSize + oldSize;
  bool placed = false;
  if (newSize < oldSize) {
    placed = writeHeaderAndMetaData(*this, encoded) && moveDown(io, mediaStart, oldSize - newSize);
  } else if (newSize == oldSize || moveUp(io, mediaStart, newSize - oldSize)) {
    placed = writeHeaderAndMetaData(*this, encoded);
  }
  io.Seek(0, 2);
  if (placed) return 0;
  state->writeFailed = true;
  vidscribe::LogPrint(vidscribe::kFlvTag, "WriteMetaData could not write the file");
  return -1;
}

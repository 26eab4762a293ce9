// Key-frame indexes of existing files: rebuilt in memory for a recording
// that continues a file, or written into a copy of a file.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <vector>
#include <memory>

#include "amf/amf0_metadata.h"
#include "log/log_channel.h"
#include "recorder/vidscriber_state.h"

using vidscribe::kFirstSlot;
using vidscribe::kFlvTag;
using vidscribe::LogPrint;

namespace {

// A video key frame worth seeking to: AVC configuration and end-of-sequence
// packets carry the key-frame flag too, but there is no picture to show at
// them (an index entry on the end marker would send a player past the end).
bool isIndexedFrame(const uint8_t* body, uint32_t dataSize) {
  if ((body[0] & 0x10) == 0) return false;
  return (body[0] & 0x0F) != 7 || (dataSize > 1 && body[1] == 1);
}

}  // namespace

void Vidscriber::buildKeyFrame() {
  FLVIO& io = state->io;
  state->KeyframeIndex.clear();
  const int64_t was = io.Pos();
  int64_t slot = kFirstSlot;
  FlvTag tag;
  while (io.Seek(slot, 0) == slot && tag.ReadHdr(io, 0)) {
    const uint32_t dataSize = tag.GetDataSize();
    if (dataSize > 0) {
      uint8_t first[2] = {0, 1};
      if (io.Read(first, dataSize > 1 ? 2 : 1) < 1) break;
      if (tag.GetType() == 9 && isIndexedFrame(first, dataSize)) state->KeyframeIndex[tag.GetTimeStamp()] = slot + 4;
    }
    slot += 15 + static_cast<int64_t>(dataSize);
  }
  LogPrint(kFlvTag, "build %d keyframes", static_cast<int>(state->KeyframeIndex.size()));
  io.Seek(was, 0);
}

namespace {

// The source's first tag when it is script data, else an empty onMetaData.
void readSourceMetaData(FLVIO& source, Flash::MetaDataBody& meta) {
  FlvTag tag;
  meta.name.value = "onMetaData";
  if (tag.Read(source) && tag.GetType() == 18) {
    Flash::MetaDataBody decoded;
    if (Flash::DecodeMetaData(tag.GetData(), tag.GetDataSize(), decoded)) {
      meta.name.value = decoded.name.value;
      meta.entries.children = std::move(decoded.entries.children);
      LogPrint("Flash", "(String) %s : %s\n", meta.name.name.c_str(), meta.name.value.c_str());
      meta.entries.Dump();
    }
    return;
  }
  source.Seek(kFirstSlot, 0);
}

bool hasKeyframeIndex(Flash::AS_Value& entries) {
  Flash::AS_Variable* member = entries.FindMember("keyframes");
  Flash::AS_Value* keyframes = member != nullptr ? member->Value() : nullptr;
  return keyframes != nullptr && keyframes->FindMember("filepositions") != nullptr &&
         keyframes->FindMember("times") != nullptr;
}

// Time -> offset of the TagType byte in the source, for every video key
// frame from firstSlot on.
std::map<uint32_t, int64_t> scanKeyFrames(FLVIO& source, int64_t firstSlot) {
  std::map<uint32_t, int64_t> index;
  FlvTag tag;
  int64_t slot = firstSlot;
  // Bodies are read rather than skipped: from the large read buffer that is
  // a copy, where every skip would cost a seek.
  while (tag.Read(source)) {
    const uint32_t dataSize = tag.GetDataSize();
    if (tag.GetType() == 9 && dataSize > 0 && isIndexedFrame(tag.GetData(), dataSize))
      index[tag.GetTimeStamp()] = slot + 4;
    slot += 15 + static_cast<int64_t>(dataSize);
  }
  LogPrint(kFlvTag, "read %d keyframes", static_cast<int>(index.size()));
  return index;
}

// The destination is 13 header bytes, the new script tag with its
// back-pointer, then the source's tags from firstSlot on, unchanged. A key
// frame's source offset therefore moves by the difference between where the
// media starts in the two files; the script tag's size does not depend on
// the values, since every entry is a fixed-size number.
void fillIndex(Flash::MetaDataBody& meta, const std::map<uint32_t, int64_t>& index, int64_t firstSlot) {
  Flash::AS_Value* keyframes = meta.entries.FindMember("keyframes")->Value();
  keyframes->SetMember("filepositions", std::make_unique<Flash::AS_Strict_Array>());
  keyframes->SetMember("times", std::make_unique<Flash::AS_Strict_Array>());
  Flash::AS_Value* positions = keyframes->FindMember("filepositions")->Value();
  Flash::AS_Value* times = keyframes->FindMember("times")->Value();
  for (const auto& entry : index) {
    times->AddValue(std::make_unique<Flash::AS_Double>(entry.first / 1000.0));
    positions->AddValue(std::make_unique<Flash::AS_Double>(0.0));
  }
  // Media TagType bytes: at firstSlot + 4 in the source, right after the
  // script tag and its back-pointer in the destination.
  const int64_t scriptTag = 11 + meta.name.EncodedSize() + meta.entries.EncodedSize() + 4;
  const int64_t shift = vidscribe::kFileHeaderSize + scriptTag - (firstSlot + 4);
  size_t i = 0;
  for (const auto& entry : index) {
    static_cast<Flash::AS_Double*>(positions->children[i++]->Value())->value =
        static_cast<double>(entry.second + shift);
  }
}

// Both files are walked tag by tag, tens of bytes at a time; a large stdio
// buffer keeps that from costing a system call per tag.
constexpr size_t kStreamBuffer = 1 << 20;

// buffer must outlive io (stdio ignores the size unless given the memory).
bool openBuffered(FLVIO& io, const char* path, FLVIO::Mode mode, std::vector<char>& buffer) {
  FILE* file = path != nullptr ? std::fopen(path, mode == FLVIO::ModeRead ? "rb" : "wb+") : nullptr;
  LogPrint(kFlvTag, "OpenFile %s,%d return %d", path != nullptr ? path : "(null)", static_cast<int>(mode),
           file != nullptr ? 1 : 0);
  if (file == nullptr) return false;
  buffer.resize(kStreamBuffer);
  std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());
  io.Attach(file);
  return true;
}

bool sameFile(const char* a, const char* b) {
  struct stat first, second;
  return a != nullptr && b != nullptr && ::stat(a, &first) == 0 && ::stat(b, &second) == 0 &&
         first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

bool Vidscriber::AddKeyFrame(const char* source, const char* destination, bool force) {
  LogPrint(kFlvTag, "AddKeyFrame");
  // Creating the destination truncates it: with the source as destination
  // the recording would be gone before it was read.
  if (sameFile(source, destination)) {
    LogPrint(kFlvTag, "unable to open dst file %s for write", destination);
    return false;
  }
  // Declared before the channels so they outlive them.
  std::vector<char> inBuffer, outBuffer;
  FLVIO in;
  if (!openBuffered(in, source, FLVIO::ModeRead, inBuffer)) {
    LogPrint(kFlvTag, "unable to open src flv file %s", source != nullptr ? source : "(null)");
    return false;
  }
  uint8_t header[9];
  if (in.Read(header, 9) != 9) {
    LogPrint(kFlvTag, "flv head too small %s", source);
    return false;
  }
  if (header[0] != 'F' || header[1] != 'L' || header[2] != 'V' || header[5] != 0 || header[6] != 0 ||
      header[7] != 0 || header[8] != 9) {
    LogPrint(kFlvTag, "flv header prase error");
    return false;
  }
  LogPrint(kFlvTag, "parse header audio:%d video:%d", header[4] & 0x04, header[4] & 0x01);
  Flash::MetaDataBody meta;
  readSourceMetaData(in, meta);
  if (hasKeyframeIndex(meta.entries) && !force) {
    LogPrint(kFlvTag, "%s already have keyframe, please use origin file", source);
    return false;
  }
  Flash::AS_Variable* existing = meta.entries.FindMember("keyframes");
  if (existing == nullptr || existing->Value() == nullptr || existing->Value()->marker != Flash::kObject)
    meta.entries.SetMember("keyframes", std::make_unique<Flash::AS_Object>());
  FLVIO out;
  if (!openBuffered(out, destination, FLVIO::ModeCreate, outBuffer)) {
    LogPrint(kFlvTag, "unable to open dst file %s for write", destination != nullptr ? destination : "(null)");
    return false;
  }
  const int64_t firstSlot = in.Pos();
  const std::map<uint32_t, int64_t> index = scanKeyFrames(in, firstSlot);
  const uint8_t zero[4] = {0, 0, 0, 0};
  // Write errors are checked here: a copy cut short by a full disk must not
  // be reported as a finished file.
  bool written = out.Write(header, 9) == 9 && out.Write(zero, 4) == 4;
  if (!index.empty()) fillIndex(meta, index, firstSlot);
  const std::vector<uint8_t> body = Flash::EncodeMetaData(meta);
  FlvTag script(static_cast<int32_t>(body.size()));
  script.SetType(18);
  script.SetDataSize(static_cast<uint32_t>(body.size()));
  script.SetTimeStamp(0);
  if (!body.empty()) std::memcpy(script.GetData(), body.data(), body.size());
  written = script.Write2(out) && written;
  in.Seek(firstSlot, 0);
  FlvTag tag;
  while (written && tag.Read(in)) written = tag.Write2(out);
  if (!written) {
    LogPrint(kFlvTag, "unable to write dst file %s", destination);
    return false;
  }
  return true;
}

// Key-frame indexes of existing files: rebuilt in memory for a recording
// that continues a file, or written into a copy of a file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "amf/amf0_metadata.h"
#include "base/big_endian.h"
#include "base/file_copy.h"
#include "base/mapped_file.h"
#include "log/log_channel.h"
#include "recorder/vidscriber_state.h"

using vidscribe::GetU24;
using vidscribe::GetU32;
using vidscribe::kFirstSlot;
using vidscribe::kFlvTag;
using vidscribe::kSlotHeaderSize;
using vidscribe::kTagHeaderSize;
using vidscribe::LogPrint;

namespace vidscribe {

// AVC configuration and end-of-sequence packets carry the key-frame flag
// too, but there is no picture to show at them (an index entry on the end
// marker would send a player past the end).
bool IsIndexedKeyFrame(const uint8_t* body, uint32_t dataSize) {
  if ((body[0] & 0x10) == 0) return false;
  return (body[0] & 0x0F) != vidscribe::kCodecAvc || (dataSize > 1 && body[1] == 1);
}

}  // namespace vidscribe

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
      if (tag.GetType() == vidscribe::kVideoTag && vidscribe::IsIndexedKeyFrame(first, dataSize))
        state->KeyframeIndex[tag.GetTimeStamp()] = slot + 4;
    }
    slot += kSlotHeaderSize + static_cast<int64_t>(dataSize);
  }
  LogPrint(kFlvTag, "build %d keyframes", static_cast<int>(state->KeyframeIndex.size()));
  io.Seek(was, 0);
}

namespace {

// The source mapped read-only: the index scan then walks headers in memory,
// and the copy hands long runs of unchanged tags to write() without reading
// them into a buffer first.
class MappedSource {
 public:
  explicit MappedSource(const char* path) : file(path), data(file.data()), size(file.size()) {}

  bool ok() const { return file.ok(); }
  // End of the tag body at slot (its trailer's offset), or -1 when the
  // header or the body is cut short.
  int64_t tagEnd(int64_t slot) const {
    if (slot + kSlotHeaderSize > size) return -1;
    const int64_t end = slot + kSlotHeaderSize + static_cast<int64_t>(GetU24(data + slot + 5));
    return end <= size ? end : -1;
  }

  vidscribe::MappedFile file;
  const uint8_t* data;
  int64_t size;
};

// The source's first tag when it is script data, else an empty onMetaData.
// Returns the first media slot.
int64_t readSourceMetaData(const MappedSource& source, Flash::MetaDataBody& meta) {
  meta.name.value = "onMetaData";
  const int64_t end = source.tagEnd(kFirstSlot);
  if (end < 0 || source.data[kFirstSlot + 4] != vidscribe::kScriptTag) return kFirstSlot;
  Flash::MetaDataBody decoded;
  if (Flash::DecodeMetaData(source.data + kFirstSlot + kSlotHeaderSize,
                            static_cast<size_t>(end - kFirstSlot - kSlotHeaderSize), decoded)) {
    meta.name.value = decoded.name.value;
    meta.entries.children = std::move(decoded.entries.children);
    LogPrint("Flash", "(String) %s : %s\n", meta.name.name.c_str(), meta.name.value.c_str());
    meta.entries.Dump();
  }
  return end;
}

bool hasKeyframeIndex(Flash::AS_Value& entries) {
  Flash::AS_Variable* member = entries.FindMember("keyframes");
  Flash::AS_Value* keyframes = member != nullptr ? member->Value() : nullptr;
  return keyframes != nullptr && keyframes->FindMember("filepositions") != nullptr &&
         keyframes->FindMember("times") != nullptr;
}

// Time -> offset of the TagType byte in the source, for every video key
// frame from firstSlot on; a tag cut short ends the scan, as it ends the copy.
std::map<uint32_t, int64_t> scanKeyFrames(const MappedSource& source, int64_t firstSlot) {
  std::map<uint32_t, int64_t> index;
  for (int64_t slot = firstSlot, end; (end = source.tagEnd(slot)) >= 0; slot = end) {
    const uint32_t dataSize = GetU24(source.data + slot + 5);
    if (source.data[slot + 4] == vidscribe::kVideoTag && dataSize > 0 &&
        vidscribe::IsIndexedKeyFrame(source.data + slot + kSlotHeaderSize, dataSize)) {
      const uint32_t time = (uint32_t{source.data[slot + 11]} << 24) | GetU24(source.data + slot + 8);
      index[time] = slot + 4;
    }
  }
  LogPrint(kFlvTag, "read %d keyframes", static_cast<int>(index.size()));
  return index;
}

// Every whole tag from firstSlot on, each followed by its own size: runs of
// tags whose trailers are already right go out as they stand in the source.
bool copyTags(const MappedSource& source, int64_t firstSlot, int fd) {
  int64_t runStart = firstSlot + 4;
  int64_t runEnd = runStart;
  for (int64_t slot = firstSlot, end; (end = source.tagEnd(slot)) >= 0; slot = end) {
    const uint32_t tagSize = GetU24(source.data + slot + 5) + kTagHeaderSize;
    if (end + 4 <= source.size && GetU32(source.data + end) == tagSize) {
      runEnd = end + 4;
      continue;
    }
    uint8_t trailer[4];
    vidscribe::PutU32(trailer, tagSize);
    if (!vidscribe::WriteAll(fd, source.data + runStart, static_cast<size_t>(end - runStart)) ||
        !vidscribe::WriteAll(fd, trailer, 4))
      return false;
    runStart = runEnd = end + 4;
  }
  return runEnd <= runStart ||
         vidscribe::WriteAll(fd, source.data + runStart, static_cast<size_t>(runEnd - runStart));
}

class OutputFile {
 public:
  explicit OutputFile(const char* path)
      : fd(path != nullptr ? ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666) : -1) {}
  ~OutputFile() {
    if (fd >= 0) ::close(fd);
  }
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  bool Close() {
    const int closing = fd;
    fd = -1;
    return ::close(closing) == 0;
  }
  int fd;
};

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
  MappedSource in(source);
  LogPrint(kFlvTag, "OpenFile %s,%d return %d", source != nullptr ? source : "(null)", 0, in.ok() ? 1 : 0);
  if (!in.ok()) {
    LogPrint(kFlvTag, "unable to open src flv file %s", source != nullptr ? source : "(null)");
    return false;
  }
  if (in.size < 9) {
    LogPrint(kFlvTag, "flv head too small %s", source);
    return false;
  }
  const uint8_t* header = in.data;
  if (header[0] != 'F' || header[1] != 'L' || header[2] != 'V' || GetU32(header + 5) != 9) {
    LogPrint(kFlvTag, "flv header prase error");
    return false;
  }
  LogPrint(kFlvTag, "parse header audio:%d video:%d", header[4] & 0x04, header[4] & 0x01);
  Flash::MetaDataBody meta;
  const int64_t firstSlot = readSourceMetaData(in, meta);
  if (hasKeyframeIndex(meta.entries) && !force) {
    LogPrint(kFlvTag, "%s already have keyframe, please use origin file", source);
    return false;
  }
  Flash::AS_Variable* existing = meta.entries.FindMember("keyframes");
  if (existing == nullptr || existing->Value() == nullptr || existing->Value()->marker != Flash::kObject)
    meta.entries.SetMember("keyframes", std::make_unique<Flash::AS_Object>());
  OutputFile out(destination);
  LogPrint(kFlvTag, "OpenFile %s,%d return %d", destination != nullptr ? destination : "(null)", 1,
           out.fd >= 0 ? 1 : 0);
  if (out.fd < 0) {
    LogPrint(kFlvTag, "unable to open dst file %s for write",
             destination != nullptr ? destination : "(null)");
    return false;
  }
  const std::map<uint32_t, int64_t> index = scanKeyFrames(in, firstSlot);
  if (!index.empty()) fillIndex(meta, index, firstSlot);
  const std::vector<uint8_t> body = Flash::EncodeMetaData(meta);
  const uint32_t dataSize = static_cast<uint32_t>(body.size());
  // The source's 9 header bytes, PreviousTagSize0, then the script tag at
  // time 0 with its trailer.
  std::vector<uint8_t> start(header, header + 9);
  start.resize(vidscribe::kFileHeaderSize + kTagHeaderSize, 0);
  start[vidscribe::kFileHeaderSize] = vidscribe::kScriptTag;
  vidscribe::PutU24(&start[vidscribe::kFileHeaderSize + 1], dataSize);
  start.insert(start.end(), body.begin(), body.end());
  uint8_t trailer[4];
  vidscribe::PutU32(trailer, dataSize + kTagHeaderSize);
  start.insert(start.end(), trailer, trailer + 4);
  // Write errors are checked here: a copy cut short by a full disk must not
  // be reported as a finished file.
  const bool written = vidscribe::WriteAll(out.fd, start.data(), start.size()) &&
                       copyTags(in, firstSlot, out.fd) && out.Close();
  if (!written) {
    LogPrint(kFlvTag, "unable to write dst file %s", destination);
    return false;
  }
  return true;
}

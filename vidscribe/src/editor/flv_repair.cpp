// RepairFlv. One pass over the tags, in a read-only mapping, learns what a
// clean Close would have known (the streams and their parameters, the
// latest time, frame counts and bytes, the key frames) and where the last
// whole tag ends. What follows it must be a tag cut short, or zeros (the
// file system's unwritten blocks after a power cut); anything else is
// damage this repair does not guess about, and the file is left alone.
//
// The repaired file is the 13 header bytes, the onMetaData Close would have
// written, and the media tags as they stand (back-pointers put right). When
// that onMetaData is as long as the one the recording started with (the
// usual case: a recorder writes the same entries at start and at Close) the
// file is mended where it lies: the last back-pointer set, what follows it
// cut off, then the header and onMetaData written over the old ones, and
// the file waited onto the disk. A repair cut off between those steps
// leaves a file the next repair mends to the same result, and none of them
// needs room for a second copy. Otherwise (an index to add) the new file
// is written beside the recording and renamed over it when complete.
#include "editor/flv_repair.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "amf/amf0_metadata.h"
#include "base/big_endian.h"
#include "base/file_copy.h"
#include "base/mapped_file.h"
#include "bitstream/aac_config.h"
#include "recorder/closing_metadata.h"
#include "recorder/vidscriber_state.h"

using vidscribe::GetU24;
using vidscribe::GetU32;
using vidscribe::kFileHeaderSize;
using vidscribe::kFirstSlot;
using vidscribe::kSlotHeaderSize;
using vidscribe::kTagHeaderSize;
using vidscribe::MappedFile;

namespace {

// The onMetaData at slot 9, when the file starts with one.
struct OldMetaData {
  bool present = false;
  int64_t size = 0;  // S: the whole tag with its back-pointer
  Flash::MetaDataBody body;
};

struct TagView {
  uint8_t type;
  uint32_t dataSize;
  uint32_t time;
  const uint8_t* body;
};

TagView viewAt(const MappedFile& f, int64_t slot) {
  const uint8_t* tag = f.data() + slot + 4;
  return {tag[0], GetU24(tag + 1), (uint32_t{tag[7]} << 24) | GetU24(tag + 4), tag + kTagHeaderSize};
}

bool knownType(uint8_t type) {
  return type == vidscribe::kVideoTag || type == vidscribe::kAudioTag || type == vidscribe::kScriptTag;
}

// Whether a whole tag that looks like one stands at slot: a known type,
// stream id 0, a video body that names a frame type, and its back-pointer
// right behind it (only the last tag of a file cut off may lack it). Zeros,
// the usual leftovers of a power cut, never pass.
bool wholeTag(const MappedFile& f, int64_t slot) {
  if (slot + kSlotHeaderSize > f.size()) return false;
  const TagView tag = viewAt(f, slot);
  const int64_t end = slot + kSlotHeaderSize + int64_t{tag.dataSize};
  if (end > f.size() || GetU24(f.data() + slot + 12) != 0) return false;
  if (end + 4 <= f.size() && GetU32(f.data() + end) != tag.dataSize + kTagHeaderSize) return false;
  switch (tag.type) {
    case vidscribe::kVideoTag:
      return tag.dataSize > 0 && (tag.body[0] >> 4) != 0;
    case vidscribe::kAudioTag:
    case vidscribe::kScriptTag:
      return true;
    default:
      return false;
  }
}

int64_t nextSlot(const MappedFile& f, int64_t slot) {
  return slot + kSlotHeaderSize + int64_t{viewAt(f, slot).dataSize};
}

void readOldMetaData(const MappedFile& f, OldMetaData& old) {
  if (!wholeTag(f, kFirstSlot) || viewAt(f, kFirstSlot).type != vidscribe::kScriptTag) return;
  const TagView tag = viewAt(f, kFirstSlot);
  old.present = true;
  old.size = int64_t{tag.dataSize} + kSlotHeaderSize;
  Flash::MetaDataBody decoded;
  if (Flash::DecodeMetaData(tag.body, tag.dataSize, decoded))
    old.body.entries.children = std::move(decoded.entries.children);
}

double numberIn(Flash::AS_Value& entries, const char* name) {
  Flash::AS_Variable* member = entries.FindMember(name);
  const bool number =
      member != nullptr && member->Value() != nullptr && member->Value()->marker == Flash::kNumber;
  return number ? member->AsNumber() : 0.0;
}

bool hasIndex(Flash::AS_Value& entries) {
  Flash::AS_Variable* member = entries.FindMember("keyframes");
  Flash::AS_Value* keyframes = member != nullptr ? member->Value() : nullptr;
  return keyframes != nullptr && keyframes->FindMember("times") != nullptr;
}

// What a recorder knows at Close, learned from the tags.
struct Scan {
  explicit Scan(bool keyframeMode) : state(keyframeMode) { state.Reset(); }
  vidscribe::VidscriberState state;
  int64_t end = kFirstSlot;  // slot right after the last whole tag
  int64_t lastSlot = -1;     // the last whole tag's
  uint32_t firstVideoTime = 0;
  uint32_t lastVideoTime = 0;
};

void noteVideo(Scan& scan, const TagView& tag, int64_t slot) {
  vidscribe::VidscriberState& s = scan.state;
  s.videoCodec = tag.body[0] & 0x0F;
  const bool avc = s.videoCodec == vidscribe::kCodecAvc;
  if (avc && tag.dataSize >= 2 && tag.body[1] != 1) {
    // Configuration (and end of sequence) packets: no frame.
    if (tag.body[1] == 0 && tag.dataSize >= 11)
      s.params.ParseAVCc(tag.body + 5, static_cast<int>(tag.dataSize) - 5);
    return;
  }
  const uint32_t header = avc ? 5 : s.videoCodec == vidscribe::kCodecVp6 ? 2 : 1;
  s.videoBytes += tag.dataSize > header ? tag.dataSize - header : 0;
  if (s.videoFrames++ == 0) scan.firstVideoTime = tag.time;
  scan.lastVideoTime = tag.time;
  if (s.keyframeMode && vidscribe::IsIndexedKeyFrame(tag.body, tag.dataSize))
    s.KeyframeIndex[tag.time] = slot + 4;
}

void noteAudio(Scan& scan, const TagView& tag) {
  vidscribe::StreamParams& p = scan.state.params;
  if (tag.dataSize == 0) return;
  p.audioCodec = tag.body[0] >> 4;
  if (p.audioCodec == vidscribe::kSoundAac && tag.dataSize >= 2 && tag.body[1] == 0) {
    if (tag.dataSize >= 4)
      vidscribe::ReadAudioSpecificConfig(tag.body + 2, &p.sampleRate, &p.channels, &p.aacProfile);
    return;
  }
  if (p.sampleRate == 0) {
    static const int kRates[4] = {5500, 11025, 22050, 44100};
    p.sampleRate = kRates[(tag.body[0] >> 2) & 3];
    p.channels = (tag.body[0] & 1) ? 2 : 1;
  }
  scan.state.audioFrames += 1;
}

void scanTags(const MappedFile& f, int64_t from, Scan& scan) {
  int64_t slot = from;
  for (; wholeTag(f, slot); slot = nextSlot(f, slot)) {
    const TagView tag = viewAt(f, slot);
    scan.lastSlot = slot;
    if (tag.type == vidscribe::kScriptTag) continue;
    if (tag.time > scan.state.duration) scan.state.duration = tag.time;
    if (tag.type == vidscribe::kVideoTag)
      noteVideo(scan, tag, slot);
    else
      noteAudio(scan, tag);
  }
  scan.end = slot;
}

// After the last whole tag and its back-pointer may follow a tag cut short
// (its header as far as it got, its body, maybe zeros where the file system
// lost its end), then zeros alone. Returns the offset of anything else, or
// -1.
int64_t damageAfter(const MappedFile& f, int64_t end) {
  const int64_t next = end + 4;
  int64_t zerosFrom = next;
  if (next + kTagHeaderSize > f.size()) {
    zerosFrom = f.size();
  } else if (knownType(f.data()[next])) {
    zerosFrom = next + kTagHeaderSize + int64_t{GetU24(f.data() + next + 1)} + 4;
  }
  for (int64_t at = zerosFrom; at < f.size(); ++at) {
    if (f.data()[at] != 0) return at;
  }
  return -1;
}

// The rest of what Close knows: the declared streams of a file that holds
// none of their frames, the declared size and rate, which the old
// onMetaData still carries.
void completeFromOld(Scan& scan, OldMetaData& old, uint8_t headerFlags) {
  vidscribe::VidscriberState& s = scan.state;
  Flash::AS_Value& entries = old.body.entries;
  if (s.videoCodec == -1 && (headerFlags & 0x01))
    s.videoCodec = static_cast<int32_t>(numberIn(entries, "videocodecid"));
  if (s.params.audioCodec == -1 && (headerFlags & 0x04))
    s.params.audioCodec = static_cast<int32_t>(numberIn(entries, "audiocodecid"));
  const double width = numberIn(entries, "width"), height = numberIn(entries, "height");
  if (width >= 1 && height >= 1 && width < 65536 && height < 65536) {
    s.params.width = static_cast<int32_t>(width);
    s.params.height = static_cast<int32_t>(height);
  }
  s.framerate = numberIn(entries, "framerate");
  const uint32_t span = scan.lastVideoTime - scan.firstVideoTime;
  if (!(s.framerate > 0) && s.videoFrames > 1 && span > 0) s.framerate = (s.videoFrames - 1) * 1000.0 / span;
}

// The file's first bytes as the repair leaves them: the file header, then
// the onMetaData tag with its back-pointer.
std::vector<uint8_t> repairedHead(const MappedFile& f, const Scan& scan, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> head = {'F', 'L', 'V', f.data()[3], 0, 0, 0, 0, 9, 0, 0, 0, 0, vidscribe::kScriptTag};
  if (scan.state.videoCodec != -1) head[4] |= 0x01;
  if (scan.state.params.audioCodec != -1) head[4] |= 0x04;
  const uint32_t dataSize = static_cast<uint32_t>(body.size());
  head.resize(kFileHeaderSize + kTagHeaderSize);
  vidscribe::PutU24(head.data() + kFileHeaderSize + 1, dataSize);
  head.insert(head.end(), body.begin(), body.end());
  uint8_t trailer[4];
  vidscribe::PutU32(trailer, dataSize + kTagHeaderSize);
  head.insert(head.end(), trailer, trailer + 4);
  return head;
}

bool writeRepaired(const MappedFile& f, const Scan& scan, int64_t mediaSlot, const std::vector<uint8_t>& head,
                   int out) {
  if (!vidscribe::WriteAll(out, head.data(), head.size())) return false;
  uint8_t trailer[4];
  // Runs of tags whose back-pointers are right go out as they stand.
  int64_t runStart = mediaSlot + 4;
  for (int64_t slot = mediaSlot; slot < scan.end; slot = nextSlot(f, slot)) {
    const int64_t tagEnd = nextSlot(f, slot);
    const uint32_t tagSize = viewAt(f, slot).dataSize + kTagHeaderSize;
    if (tagEnd + 4 <= f.size() && GetU32(f.data() + tagEnd) == tagSize) continue;
    vidscribe::PutU32(trailer, tagSize);
    if (!vidscribe::CopyFileRange(f.fd(), runStart, out, tagEnd - runStart) ||
        !vidscribe::WriteAll(out, trailer, 4))
      return false;
    runStart = tagEnd + 4;
  }
  return runStart >= scan.end + 4 || vidscribe::CopyFileRange(f.fd(), runStart, out, scan.end + 4 - runStart);
}

bool refuse(vidscribe::RepairReport& report, const std::string& why) {
  report.message = why;
  return false;
}

// Mends the file where it lies; the new head is as long as the old one.
bool mendInPlace(const char* path, const MappedFile& f, const Scan& scan, const std::vector<uint8_t>& head,
                 vidscribe::RepairReport& report) {
  const int out = ::open(path, O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
  if (out < 0)
    return refuse(report, std::string("cannot open ") + path + " for writing: " + std::strerror(errno));
  // The back-pointer first, then the cut: a file cut inside the last
  // back-pointer would otherwise end in zeros there, which the next repair
  // would take for damage to that tag.
  uint8_t trailer[4];
  vidscribe::PutU32(trailer, viewAt(f, scan.lastSlot).dataSize + kTagHeaderSize);
  const bool locked = ::flock(out, LOCK_EX | LOCK_NB) == 0;
  const bool mended = locked && vidscribe::WriteAllAt(out, trailer, 4, static_cast<uint64_t>(scan.end)) &&
                      ::ftruncate(out, static_cast<off_t>(scan.end + 4)) == 0 &&
                      vidscribe::WriteAllAt(out, head.data(), head.size(), 0) && ::fdatasync(out) == 0;
  const std::string why = std::strerror(errno);
  ::close(out);
  if (!locked) return refuse(report, std::string(path) + " is being written by another program");
  if (!mended) return refuse(report, std::string("cannot write ") + path + ": " + why);
  return true;
}

// Writes the repaired file beside path and renames it over path.
bool replace(const char* path, const MappedFile& f, const Scan& scan, int64_t mediaSlot,
             const std::vector<uint8_t>& head, vidscribe::RepairReport& report) {
  const std::string temp = std::string(path) + ".repairing";
  struct stat info;
  const mode_t mode = ::fstat(f.fd(), &info) == 0 ? (info.st_mode & 07777) : 0644;
  const int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  if (out < 0) return refuse(report, "cannot create " + temp + ": " + std::strerror(errno));
  bool written = writeRepaired(f, scan, mediaSlot, head, out) && ::fchmod(out, mode) == 0;
  const std::string why = std::strerror(errno);
  written = ::close(out) == 0 && written;
  if (!written) {
    ::unlink(temp.c_str());
    return refuse(report, "cannot write " + temp + ": " + why);
  }
  if (::rename(temp.c_str(), path) != 0) {
    const std::string failure = std::strerror(errno);
    ::unlink(temp.c_str());
    return refuse(report, "cannot rename " + temp + " to " + path + ": " + failure);
  }
  return true;
}

}  // namespace

namespace vidscribe {

bool RepairFlv(const char* path, bool addKeyFrameIndex, RepairReport& report) {
  const MappedFile f(path);
  if (!f.ok()) return refuse(report, std::string("cannot read ") + path);
  if (f.HeldByAWriter()) return refuse(report, std::string(path) + " is still being recorded");
  if (f.size() < 9 || std::memcmp(f.data(), "FLV", 3) != 0 || GetU32(f.data() + 5) != 9)
    return refuse(report, std::string(path) + " is not an FLV file");
  OldMetaData old;
  readOldMetaData(f, old);
  // A recording in key-frame mode writes its onMetaData only at Close.
  Scan scan(addKeyFrameIndex || !old.present || hasIndex(old.body.entries));
  const int64_t mediaSlot = kFirstSlot + old.size;
  scanTags(f, mediaSlot, scan);
  const int64_t damage = damageAfter(f, scan.end);
  if (damage >= 0) {
    return refuse(report, std::string(path) + " is damaged at byte " + std::to_string(damage) +
                              ", not only at its end; it is left as it was");
  }
  if (scan.state.videoFrames + scan.state.audioFrames == 0)
    return refuse(report, std::string(path) + " holds no whole frame yet: nothing to repair");
  completeFromOld(scan, old, f.data()[4]);
  const std::vector<uint8_t> body = EncodeClosingMetaData(scan.state, old.body, old.size);
  if (body.empty()) return refuse(report, std::string("cannot encode the onMetaData of ") + path);
  report.videoFrames = static_cast<uint32_t>(scan.state.videoFrames);
  report.audioFrames = static_cast<uint32_t>(scan.state.audioFrames);
  report.duration = scan.state.duration;
  report.bytesDropped = static_cast<uint64_t>(std::max<int64_t>(f.size() - scan.end - 4, 0));
  const std::vector<uint8_t> head = repairedHead(f, scan, body);
  if (old.present && static_cast<int64_t>(head.size()) == kFileHeaderSize + old.size)
    return mendInPlace(path, f, scan, head, report);
  return replace(path, f, scan, mediaSlot, head, report);
}

}  // namespace vidscribe

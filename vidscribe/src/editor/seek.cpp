// SeekTag: positions the file on the tag slot for a time. With a key-frame
// index the answer comes from one lookup and a check of the tag it names;
// otherwise (or when the index is stale) the file is walked tag by tag,
// forward while tags are earlier and back while they are later, from
// wherever the file stands. Slots are tracked explicitly rather than from
// the channel position, so a failed read at either end cannot lose track.
#include "base/big_endian.h"
#include "log/log_channel.h"
#include "recorder/vidscriber_state.h"

using vidscribe::kFirstSlot;
using vidscribe::kFlvTag;
using vidscribe::LogPrint;

namespace {

// One tag header and the slot it was read from.
struct SlotCursor {
  FLVIO& io;
  FlvTag tag;
  int64_t slot = -1;

  explicit SlotCursor(FLVIO& io) : io(io) {}

  bool readAt(int64_t at) {
    if (at < kFirstSlot || io.Seek(at, 0) != at || !tag.ReadHdr(io, 0)) return false;
    slot = at;
    return true;
  }
  bool next() {
    const int64_t following = slot + 15 + static_cast<int64_t>(tag.GetDataSize());
    const int64_t was = slot;
    if (readAt(following)) return true;
    return restore(was);
  }
  bool prev() {
    const int64_t previous = slot - static_cast<int64_t>(tag.GetPrevTagSize()) - 4;
    const int64_t was = slot;
    if (previous > 8 && readAt(previous)) return true;
    restore(was);
    return false;
  }
  // Puts the header of the slot back after a failed move.
  bool restore(int64_t was) {
    readAt(was);
    return false;
  }
  // A header read off a slot (after LastTag or a partial read the position
  // is inside a tag) would send the walk through garbage: a real tag is
  // closed by a back-pointer that matches its size.
  bool isWholeTag() {
    const uint8_t type = tag.GetType();
    if (type != vidscribe::kAudioTag && type != vidscribe::kVideoTag && type != vidscribe::kScriptTag)
      return false;
    const uint32_t dataSize = tag.GetDataSize();
    const int64_t trailer = slot + vidscribe::kSlotHeaderSize + static_cast<int64_t>(dataSize);
    uint8_t size[4];
    if (io.Seek(trailer, 0) != trailer || io.Read(size, 4) != 4) return false;
    return vidscribe::GetU32(size) == dataSize + vidscribe::kTagHeaderSize;
  }
  bool isVideoKeyFrame() {
    if (tag.GetType() != vidscribe::kVideoTag || tag.GetDataSize() == 0) return false;
    uint8_t first = 0;
    io.Seek(slot + vidscribe::kSlotHeaderSize, 0);
    return io.Read(&first, 1) == 1 && (first & 0x10) != 0;
  }
};

// Finds a starting tag at the current position, or at an end of the file
// when the position holds none.
bool startScan(Vidscriber& writer, SlotCursor& cursor, uint32_t time) {
  int64_t at = cursor.io.Pos();
  if (at <= 8 || time <= 9) {
    LogPrint(kFlvTag, "reset to begin %d->%d", static_cast<int>(at), 9);
    at = kFirstSlot;
  }
  if (cursor.readAt(at) && cursor.isWholeTag()) return true;
  if (at != kFirstSlot && cursor.readAt(kFirstSlot) && cursor.isWholeTag() && at < cursor.io.Size() - 4) {
    LogPrint(kFlvTag, "reset to begin %d->%d", static_cast<int>(at), 9);
    return true;
  }
  FlvTag last;
  if (writer.LastTag(last)) {
    LogPrint(kFlvTag, "reach end reset to last %d", static_cast<int>(last.GetTimeStamp()));
    return cursor.readAt(cursor.io.Pos() - 15);
  }
  LogPrint(kFlvTag, "reach end reset to begin");
  return cursor.readAt(kFirstSlot);
}

int scanTo(Vidscriber& writer, SlotCursor& cursor, uint32_t time, int keyOnly) {
  if (!startScan(writer, cursor, time)) {
    cursor.io.Seek(kFirstSlot, 0);
    return -1;
  }
  const int t = static_cast<int>(time);
  while (cursor.tag.GetTimeStamp() < time) {
    if (!cursor.next()) {
      LogPrint(kFlvTag, "seek %d reach end of file", t);
      break;
    }
  }
  while (cursor.tag.GetTimeStamp() > time) {
    if (!cursor.prev()) {
      LogPrint(kFlvTag, "seek %d reach begin of file", t);
      break;
    }
  }
  LogPrint(kFlvTag, "seek %d found nearest tag %d", t, static_cast<int>(cursor.tag.GetTimeStamp()));
  const int64_t nearest = cursor.slot;
  while (keyOnly != 0) {
    if (cursor.isVideoKeyFrame()) {
      LogPrint(kFlvTag, "SeekKey %d found tag %d", t, static_cast<int>(cursor.tag.GetTimeStamp()));
      break;
    }
    if (!cursor.prev()) {
      LogPrint(kFlvTag, "SeekKey %d reach begin of file, reset to nearest", t);
      cursor.readAt(nearest);
      break;
    }
  }
  cursor.io.Seek(cursor.slot, 0);
  LogPrint(kFlvTag, "SeekTag %d return %d", t, static_cast<int>(cursor.tag.GetTimeStamp()));
  return static_cast<int>(cursor.tag.GetTimeStamp());
}

}  // namespace

int Vidscriber::SeekTag(uint32_t time, int keyOnly) {
  vidscribe::MutexGuard guard(state->lock);
  FLVIO& io = state->io;
  if (!io.isOpen()) {
    LogPrint(kFlvTag, "SeekTag %d without io", static_cast<int>(time));
    return -1;
  }
  SlotCursor cursor(io);
  if (!state->KeyframeIndex.empty()) {
    auto entry = state->KeyframeIndex.upper_bound(time);
    if (entry == state->KeyframeIndex.begin()) {
      io.Seek(kFirstSlot, 0);
      return 0;
    }
    --entry;
    const int64_t slot = entry->second - 4;
    if (cursor.readAt(slot) && cursor.isVideoKeyFrame()) {
      io.Seek(slot, 0);
      LogPrint(kFlvTag, "SeekTag %d with keyframe return %d", static_cast<int>(time),
               static_cast<int>(entry->first));
      return static_cast<int>(entry->first);
    }
    io.Seek(cursor.slot >= kFirstSlot ? cursor.slot : kFirstSlot, 0);
  }
  return scanTo(*this, cursor, time, keyOnly);
}

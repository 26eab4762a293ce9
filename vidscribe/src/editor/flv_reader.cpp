// Opening existing files and streams, and walking their tags.
#include <cstdio>

#include "base/big_endian.h"
#include "log/log_channel.h"
#include "recorder/vidscriber_state.h"

using vidscribe::kFirstSlot;
using vidscribe::kFlvTag;
using vidscribe::LogPrint;

namespace vidscribe {

bool MetaDataFits(FLVIO& io, uint32_t dataSize) {
  const int64_t size = io.Size();
  const int64_t trailer = kFirstSlot + kSlotHeaderSize + int64_t{dataSize};
  uint8_t bytes[4 + kTagHeaderSize];
  if (size < trailer + 4 || io.Seek(trailer, 0) != trailer || io.Read(bytes, 4) != 4 ||
      GetU32(bytes) != dataSize + kTagHeaderSize)
    return false;
  if (size == trailer + 4) return true;
  if (io.Read(bytes + 4, kTagHeaderSize) != kTagHeaderSize) return false;
  const uint8_t type = bytes[4];
  const int64_t nextEnd = trailer + 4 + kTagHeaderSize + int64_t{GetU24(bytes + 5)} + 4;
  return (type == kAudioTag || type == kVideoTag || type == kScriptTag) && nextEnd <= size;
}

bool OpenForReading(FLVIO& io, const char* path) {
  if (io.Open(path, FLVIO::ModeRead)) return true;
  FILE* file = path != nullptr ? std::fopen(path, "rb") : nullptr;
  LogPrint(kFlvTag, "OpenFile %s,%d return %d", path != nullptr ? path : "(null)", 0,
           file != nullptr ? 1 : 0);
  if (file == nullptr) return false;
  io.Attach(file);
  return true;
}

}  // namespace vidscribe

namespace {

// A file whose first tag is not script data gets a new one inserted; one
// whose first tag is script data must carry a size that fits.
bool metaDataRewritable(FLVIO& io) {
  FlvTag tag;
  io.Seek(kFirstSlot, 0);
  return !tag.ReadHdr(io, 0) || tag.GetType() != vidscribe::kScriptTag ||
         vidscribe::MetaDataFits(io, tag.GetDataSize());
}

}  // namespace

bool Vidscriber::CheckHeader() {
  FLVIO& io = state->io;
  uint8_t header[9];
  if (!io.isOpen() || io.Seek(0, 0) != 0 || io.Read(header, 9) != 9) {
    LogPrint(kFlvTag, "head too small");
    return false;
  }
  const uint32_t headerSize = vidscribe::GetU32(header + 5);
  if (header[0] != 'F' || header[1] != 'L' || header[2] != 'V' || headerSize != 9) {
    LogPrint(kFlvTag, "flv header prase error");
    return false;
  }
  LogPrint(kFlvTag, "parse header audio:%d video:%d", header[4] & 0x04, header[4] & 0x01);
  if (header[4] & 0x04) state->params.audioCodec = 0;
  if (header[4] & 0x01) state->videoCodec = 0;
  return true;
}

int Vidscriber::Check(bool checkHeader) {
  if (!state->io.isOpen()) return -1;
  if (checkHeader && !CheckHeader()) {
    LogPrint(kFlvTag, "header parse error");
    return -1;
  }
  FlvTag tag;
  state->io.Seek(kFirstSlot, 0);
  if (ReadTag(tag) && tag.GetType() == vidscribe::kScriptTag) {
    int offset = 0;
    ParseTag(tag, offset, 1);
  }
  FlvTag last;
  if (state->duration == 0 && LastTag(last)) state->duration = last.GetTimeStamp();
  return 0;
}

bool Vidscriber::Open(const char* path, FLVIO::Mode mode) {
  if (mode == FLVIO::ModeCreate) return Open(path);
  const bool opened =
      mode == FLVIO::ModeRead ? vidscribe::OpenForReading(state->io, path) : state->io.Open(path, mode);
  if (!opened) return false;
  vidscribe::NoteOpenFile(*state, path);
  state->attachedStream = false;
  state->writeFailed = false;
  state->mode = mode;
  state->timeBase = 0;
  state->duration = 0;
  state->resumeOffset = 0;
  bool result = true;
  switch (mode) {
    case FLVIO::ModeRead:
      result = Check(true) == 0;
      if (result) state->io.Seek(kFirstSlot, 0);
      break;
    case FLVIO::ModeCreate:  // handled above
      break;
    case FLVIO::ModeAppend:
      if (Check(true) != 0) {
        // Whatever was there is not an FLV file; leaving its bytes behind the
        // new header would make the result unreadable.
        state->io.Truncate(0);
        state->io.Seek(0, 0);
        state->duration = 0;
        startRecording();
      } else if (!metaDataRewritable(state->io)) {
        // Appending would end in a rewrite of onMetaData that cannot be
        // done safely; refuse now, before the file has changed.
        LogPrint(kFlvTag, "Open %s refused: its onMetaData size does not fit the file", path);
        state->io.Close();
        result = false;
      } else {
        if (state->keyframeMode && state->KeyframeIndex.empty()) buildKeyFrame();
        state->resumeOffset = state->duration;
        // The stream continues with its own parameter sets.
        state->params.sps.clear();
        state->params.pps.clear();
        LogPrint(kFlvTag, "read duration %d from lastpos", static_cast<int>(state->duration));
        state->io.Seek(0, 2);
      }
      break;
  }
  LogPrint(kFlvTag, "Open %s,%d return %d", path, static_cast<int>(mode), result ? 1 : 0);
  return result;
}

bool Vidscriber::AttachOpen(IReadStream* stream) {
  if (stream == nullptr) return false;
  state->io.Attach(stream);
  state->attachedStream = true;
  state->timeBase = 0;
  state->duration = 0;
  state->resumeOffset = 0;
  const bool result = Check(true) == 0;
  if (result) state->io.Seek(kFirstSlot, 0);
  return result;
}

bool Vidscriber::FirstTag(FlvTag& tag) {
  FLVIO& io = state->io;
  if (!io.isOpen()) return false;
  io.Seek(kFirstSlot, 0);
  return tag.ReadHdr(io, 0);
}

bool Vidscriber::LastTag(FlvTag& tag) {
  FLVIO& io = state->io;
  if (!io.isOpen()) return false;
  const int64_t p = io.Seek(-4, 2);
  if (p <= kFirstSlot) {
    LogPrint(kFlvTag, "empty flv files");
    return false;
  }
  uint8_t size[4];
  if (io.Read(size, 4) != 4) return false;
  const int64_t slot = p - int64_t{vidscribe::GetU32(size)} - 4;
  if (slot < kFirstSlot || io.Seek(slot, 0) != slot) return false;
  return tag.ReadHdr(io, 0);
}

bool Vidscriber::ReadTag(FlvTag& tag) {
  vidscribe::MutexGuard guard(state->lock);
  FLVIO& io = state->io;
  if (!io.isOpen()) return false;
  if (io.Pos() < kFirstSlot) io.Seek(kFirstSlot, 0);
  return tag.ReadHdr(io, 0) && tag.ReadBody(io, 0);
}

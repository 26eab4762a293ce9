// Opening existing files and streams, and walking their tags.
#include <cstdio>

#include "log/log_channel.h"
#include "recorder/vidscriber_state.h"

using vidscribe::kFirstSlot;
using vidscribe::kFlvTag;
using vidscribe::LogPrint;

namespace vidscribe {

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

bool Vidscriber::CheckHeader() {
  FLVIO& io = state->io;
  uint8_t header[9];
  if (!io.isOpen() || io.Seek(0, 0) != 0 || io.Read(header, 9) != 9) {
    LogPrint(kFlvTag, "head too small");
    return false;
  }
  const uint32_t headerSize =
      (uint32_t{header[5]} << 24) | (uint32_t{header[6]} << 16) | (uint32_t{header[7]} << 8) | header[8];
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
  if (ReadTag(tag) && tag.GetType() == 18) {
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
  state->attachedStream = false;
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
  const int64_t last =
      (int64_t{size[0]} << 24) | (int64_t{size[1]} << 16) | (int64_t{size[2]} << 8) | int64_t{size[3]};
  const int64_t slot = p - last - 4;
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

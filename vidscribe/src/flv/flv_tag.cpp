// FlvTag: one tag and the PreviousTagSize in front of it, in one buffer.
#include <cstring>
#include <new>

#include "base/big_endian.h"
#include "log/log_channel.h"
#include "vidscribe/vidscribe.h"

using vidscribe::GetU24;
using vidscribe::GetU32;
using vidscribe::LogHexDump;
using vidscribe::LogPrint;
using vidscribe::PutU24;
using vidscribe::PutU32;

namespace {

constexpr const char* kTag = "Flv";
constexpr int32_t kHeader = 15;  // PreviousTagSize (4) + tag header (11)

uint8_t* allocate(int32_t body, int32_t slack) {
  const size_t size = static_cast<size_t>(body) + static_cast<size_t>(slack) + kHeader;
  return new (std::nothrow) uint8_t[size];
}

}  // namespace

FlvTag::FlvTag(int32_t capacity, int32_t slack)
    : buffer(nullptr), bodyRead(0), capacity(capacity < 0 ? 0 : capacity), slack(slack < 0 ? 0 : slack) {
  buffer = allocate(this->capacity, this->slack);
  if (buffer == nullptr) {
    // Out of memory: keep a usable header-only tag rather than fail later.
    this->capacity = 0;
    this->slack = 0;
    buffer = new uint8_t[kHeader];
  }
  std::memset(buffer, 0, kHeader);
}

FlvTag::~FlvTag() {
  delete[] buffer;
}

void FlvTag::SetPrevTagSize(uint32_t size) {
  PutU32(buffer, size);
}
uint32_t FlvTag::GetPrevTagSize() const {
  return GetU32(buffer);
}
void FlvTag::SetType(uint8_t type) {
  buffer[4] = type;
}
uint8_t FlvTag::GetType() const {
  return buffer[4];
}
void FlvTag::SetDataSize(uint32_t size) {
  PutU24(buffer + 5, size);
}
uint32_t FlvTag::GetDataSize() const {
  return GetU24(buffer + 5);
}
void FlvTag::SetStreamID(uint32_t id) {
  PutU24(buffer + 12, id);
}
uint32_t FlvTag::GetStreamID() const {
  return GetU24(buffer + 12);
}

void FlvTag::SetTimeStamp(uint32_t ms) {
  // Low 24 bits first, the extension byte carries bits 24-31.
  PutU24(buffer + 8, ms & 0xFFFFFF);
  buffer[11] = static_cast<uint8_t>(ms >> 24);
}

uint32_t FlvTag::GetTimeStamp() const {
  return (uint32_t{buffer[11]} << 24) | GetU24(buffer + 8);
}

uint8_t* FlvTag::GetData() {
  return capacity == 0 ? nullptr : buffer + kHeader;
}

int32_t FlvTag::Size() const {
  return static_cast<int32_t>(GetDataSize()) + kHeader;
}

bool FlvTag::isKeyFrame() const {
  // The first body byte only exists when the buffer has room for it.
  return GetType() == vidscribe::kVideoTag && capacity > 0 && GetDataSize() > 0 &&
         (buffer[kHeader] & 0x10) != 0;
}

bool FlvTag::AllocData(int32_t n) {
  if (n < 1) {
    LogPrint(kTag, "AllocData reset size %d->%d", n, static_cast<int>(GetDataSize()));
    n = static_cast<int32_t>(GetDataSize());
  }
  if (capacity >= n) return true;
  uint8_t* grown = allocate(n, slack);
  if (grown == nullptr) {
    LogPrint(kTag, "AllocData out of memory for %d bytes", n);
    return false;
  }
  std::memcpy(grown, buffer, kHeader);
  delete[] buffer;
  buffer = grown;
  capacity = n;
  return true;
}

bool FlvTag::ReadHdr(FLVIO& io, int32_t n) {
  bodyRead = 0;
  if (io.Read(buffer, kHeader) != kHeader) return false;
  if (n < 1) return true;
  return ReadBody(io, n);
}

bool FlvTag::ReadBody(FLVIO& io, int32_t limit) {
  const int32_t dataSize = static_cast<int32_t>(GetDataSize());
  if (bodyRead >= dataSize) return true;
  int32_t count = dataSize - bodyRead;
  if (limit > 0 && limit < count) count = limit;
  // Room for the whole body up front, so later pieces land behind this one.
  // The size comes from the file, so the buffer only grows for a body whose
  // bytes really follow in the channel: a damaged header cannot make every
  // read allocate 16 MiB.
  if (capacity < dataSize) {
    const int64_t left = io.Size() - io.Pos();
    if (left < static_cast<int64_t>(dataSize - bodyRead)) {
      LogPrint(kTag, "ReadBody %d bytes claimed, %lld left", dataSize - bodyRead,
               static_cast<long long>(left));
      return false;
    }
    if (!AllocData(dataSize)) return false;
  }
  if (io.Read(buffer + kHeader + bodyRead, count) != count) return false;
  bodyRead += count;
  return true;
}

bool FlvTag::Read(FLVIO& io) {
  return ReadHdr(io, 0) && ReadBody(io, 0);
}

bool FlvTag::SkipBody(FLVIO& io) {
  const int32_t dataSize = static_cast<int32_t>(GetDataSize());
  if (bodyRead >= dataSize) return true;
  return io.Seek(dataSize - bodyRead, 1) > 0;
}

bool FlvTag::Next(FLVIO& io) {
  return SkipBody(io) && ReadHdr(io, 0);
}

bool FlvTag::Prev(FLVIO& io) {
  const int64_t target =
      io.Pos() - static_cast<int64_t>(GetPrevTagSize()) - static_cast<int64_t>(bodyRead) - 4 - kHeader;
  if (target <= 8) {
    LogPrint(kTag, "reach begin of file");
    return false;
  }
  if (io.Seek(target, 0) != target) return false;
  return ReadHdr(io, 0);
}

uint64_t FlvTag::TagPos(FLVIO& io) {
  return static_cast<uint64_t>(io.Pos() - static_cast<int64_t>(bodyRead) - kHeader);
}

bool FlvTag::WriteHdr(FLVIO& io) {
  return io.Write(buffer, kHeader) == kHeader;
}

bool FlvTag::Write(FLVIO& io) {
  const int32_t dataSize = static_cast<int32_t>(GetDataSize());
  // A header claiming more body than the buffer holds would write memory
  // that is not ours.
  if (dataSize > capacity) return false;
  return io.Write(buffer, dataSize + kHeader) == dataSize + kHeader;
}

bool FlvTag::Write2(FLVIO& io) {
  const int32_t dataSize = static_cast<int32_t>(GetDataSize());
  if (dataSize > capacity) return false;
  const int32_t tagSize = dataSize + 11;
  if (io.Write(buffer + 4, tagSize) != tagSize) return false;
  uint8_t trailer[4];
  PutU32(trailer, static_cast<uint32_t>(tagSize));
  return io.Write(trailer, 4) == 4;
}

uint8_t* FlvTag::GetPayLoad(int32_t offset, int32_t& length) {
  const int32_t dataSize = static_cast<int32_t>(GetDataSize());
  if (offset < 0 || offset >= dataSize + kHeader || offset > bodyRead + kHeader) return nullptr;
  // The reported length must stay inside the buffer.
  if (dataSize > capacity) return nullptr;
  length = dataSize + kHeader - offset;
  return buffer + offset;
}

void FlvTag::Dump(bool hex, const char* prefix) {
  const char* shown = prefix != nullptr ? prefix : "";
  if (hex) {
    LogHexDump(kTag, buffer, kHeader, "%s FlvTag Type %2d, dataLen %4d, TimeStamp %d", shown, GetType(),
               static_cast<int>(GetDataSize()), static_cast<int>(GetTimeStamp()));
  } else {
    LogPrint(kTag, "%s FlvTag Type %2d, dataLen %4d, TimeStamp %d", shown, GetType(),
             static_cast<int>(GetDataSize()), static_cast<int>(GetTimeStamp()));
  }
}

// FLVIO: one byte channel over either a stdio FILE or a host's IReadStream.
#include <stdio_ext.h>
#include <sys/types.h>
#include <unistd.h>

#include "log/log_channel.h"
#include "vidscribe/vidscribe.h"

using vidscribe::LogPrint;

namespace {
constexpr const char* kTag = "Flv";
}

FLVIO::FLVIO() : file(nullptr), stream(nullptr), lastOp(LastOp::None) {}

FLVIO::~FLVIO() {
  Close();
}

bool FLVIO::Open(const char* path, Mode mode) {
  const char* how = nullptr;
  switch (mode) {
    case ModeRead:
      how = "rb+";
      break;
    case ModeCreate:
      how = "wb+";
      break;
    case ModeAppend:
      how = (path != nullptr && ::access(path, F_OK) == 0) ? "rb+" : "wb+";
      break;
  }
  FILE* opened = (how != nullptr && path != nullptr) ? std::fopen(path, how) : nullptr;
  if (opened != nullptr && mode == ModeAppend && fseeko(opened, 0, SEEK_END) != 0) {
    std::fclose(opened);
    opened = nullptr;
  }
  LogPrint(kTag, "OpenFile %s,%d return %d", path != nullptr ? path : "(null)", static_cast<int>(mode),
           opened != nullptr ? 1 : 0);
  if (opened == nullptr) return false;
  Attach(opened);
  return true;
}

void FLVIO::Attach(FILE* newFile) {
  // Attaching the file already held must not close it first.
  if (newFile != nullptr && newFile == file) return;
  Close();
  file = newFile;
}

void FLVIO::Attach(IReadStream* newStream) {
  // Attaching the stream already held must not release it first.
  if (newStream != nullptr && newStream == stream) return;
  Close();
  stream = newStream;
}

bool FLVIO::isOpen() const {
  return file != nullptr || stream != nullptr;
}

void FLVIO::Close() {
  if (file != nullptr) std::fclose(file);
  file = nullptr;
  if (stream != nullptr) {
    IReadStream* released = stream;
    stream = nullptr;
    released->Release();
  }
  lastOp = LastOp::None;
}

void FLVIO::switchTo(LastOp op) {
  if (file != nullptr && lastOp != LastOp::None && lastOp != op) fseeko(file, 0, SEEK_CUR);
  lastOp = op;
}

int32_t FLVIO::Read(void* buffer, int32_t count) {
  if (buffer == nullptr || count <= 0) return 0;
  if (file != nullptr) {
    switchTo(LastOp::Read);
    return static_cast<int32_t>(std::fread(buffer, 1, static_cast<size_t>(count), file));
  }
  if (stream != nullptr) {
    const int32_t got = stream->Read(static_cast<uint8_t*>(buffer), count);
    // A stream reporting more than was asked for is not trusted.
    return got < 0 ? 0 : (got > count ? count : got);
  }
  return 0;
}

int32_t FLVIO::Write(const void* buffer, int32_t count) {
  if (file == nullptr || buffer == nullptr || count <= 0) return 0;
  switchTo(LastOp::Write);
  return static_cast<int32_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), file));
}

int64_t FLVIO::Seek(int64_t offset, int32_t origin) {
  if (origin < 0 || origin > 2) return -1;
  if (file != nullptr) {
    static const int kWhence[3] = {SEEK_SET, SEEK_CUR, SEEK_END};
    lastOp = LastOp::None;  // a seek is the positioning call stdio wants
    if (fseeko(file, static_cast<off_t>(offset), kWhence[origin]) != 0) return -1;
    return static_cast<int64_t>(ftello(file));
  }
  if (stream != nullptr) {
    if (stream->Seek(offset, origin) != 0) return -1;
    return stream->Pos();
  }
  return -1;
}

int64_t FLVIO::Pos() {
  if (file != nullptr) return static_cast<int64_t>(ftello(file));
  if (stream != nullptr) return stream->Pos();
  return -1;
}

int64_t FLVIO::Size() {
  if (file != nullptr) {
    const off_t here = ftello(file);
    if (here < 0 || fseeko(file, 0, SEEK_END) != 0) return -1;
    const off_t size = ftello(file);
    fseeko(file, here, SEEK_SET);
    lastOp = LastOp::None;
    return static_cast<int64_t>(size);
  }
  if (stream != nullptr) return stream->Size();
  return -1;
}

void FLVIO::Truncate(int64_t size) {
  if (file == nullptr || size < 0) return;
  // Buffered bytes past the new end would otherwise land after the cut. When
  // they cannot be written (the disk is full) they are dropped: written
  // later, once the cut has freed room, they would land behind it.
  if (std::fflush(file) != 0) {
    __fpurge(file);
    std::clearerr(file);
  }
  lastOp = LastOp::None;
  if (::ftruncate(fileno(file), static_cast<off_t>(size)) != 0) {
    LogPrint(kTag, "Truncate to %lld failed", static_cast<long long>(size));
  }
}

bool FLVIO::Flush() {
  if (file == nullptr) return true;
  const bool flushed = std::fflush(file) == 0;
  return flushed && std::ferror(file) == 0;
}

#include "elementary_streams.h"

#include <cstring>

#include "bitstream/aac_config.h"

namespace vidscribe_tool {

namespace {
constexpr size_t kChunk = 1 << 20;
}

int UnitType(const uint8_t* unit) {
  return unit[0] & 0x1F;
}

bool AnnexBFrameReader::Open(const char* path) {
  file.reset(std::fopen(path, "rb"));
  return file != nullptr;
}

bool AnnexBFrameReader::fill() {
  if (eof) return false;
  // Drop what was consumed so the buffer holds at most one unit and a chunk.
  if (pos > 0) {
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(pos));
    pos = 0;
  }
  const size_t had = buffer.size();
  buffer.resize(had + kChunk);
  const size_t got = std::fread(buffer.data() + had, 1, kChunk, file.get());
  buffer.resize(had + got);
  if (got == 0) eof = true;
  return got > 0;
}

// Offset of the first byte of the next start code (00 00 01, or 00 00 00 01
// counted from its first zero) at or after from; buffer.size() when none.
size_t AnnexBFrameReader::findStartCode(size_t from) const {
  const uint8_t* data = buffer.data();
  const size_t size = buffer.size();
  size_t at = from + 2;
  while (at < size) {
    const void* one = std::memchr(data + at, 1, size - at);
    if (one == nullptr) return size;
    at = static_cast<size_t>(static_cast<const uint8_t*>(one) - data);
    if (at >= from + 2 && data[at - 1] == 0 && data[at - 2] == 0) {
      size_t begin = at - 2;
      if (begin > from && data[begin - 1] == 0) --begin;
      return begin;
    }
    ++at;
  }
  return size;
}

bool AnnexBFrameReader::nextUnit(size_t& begin, size_t& end) {
  for (;;) {
    begin = findStartCode(pos);
    if (begin == buffer.size()) {
      if (!fill()) return false;
      continue;
    }
    // Start of this unit's payload: past 00 00 01.
    size_t payload = begin;
    while (buffer[payload] == 0) ++payload;
    ++payload;
    if (payload + 1 >= buffer.size() && fill()) continue;
    end = findStartCode(payload);
    if (end == buffer.size() && !eof) {
      fill();
      continue;
    }
    return payload < buffer.size();
  }
}

bool AnnexBFrameReader::Next(std::vector<uint8_t>& frame) {
  size_t begin = 0, end = 0;
  while (nextUnit(begin, end)) {
    size_t payload = begin;
    while (buffer[payload] == 0) ++payload;
    ++payload;
    const int type = UnitType(&buffer[payload]);
    const bool slice = type == 1 || type == 5;
    const bool firstSlice = slice && payload + 1 < end && (buffer[payload + 1] & 0x80) != 0;
    const bool opensUnit = type == 6 || type == 7 || type == 8 || type == 9 || (type >= 14 && type <= 18);
    const bool boundary = currentHasSlice && (firstSlice || opensUnit);
    consumed += static_cast<int64_t>(end - pos);
    if (boundary) {
      frame.swap(current);
      current.assign(buffer.begin() + static_cast<std::ptrdiff_t>(begin),
                     buffer.begin() + static_cast<std::ptrdiff_t>(end));
      currentHasSlice = slice;
      pos = end;
      return true;
    }
    current.insert(current.end(), buffer.begin() + static_cast<std::ptrdiff_t>(begin),
                   buffer.begin() + static_cast<std::ptrdiff_t>(end));
    currentHasSlice = currentHasSlice || slice;
    pos = end;
  }
  if (current.empty()) return false;
  frame.swap(current);
  current.clear();
  currentHasSlice = false;
  return true;
}

bool AdtsFrameReader::Open(const char* path) {
  file.reset(std::fopen(path, "rb"));
  return file != nullptr;
}

bool AdtsFrameReader::Next(std::vector<uint8_t>& frame, AdtsFormat* format) {
  uint8_t header[vidscribe::kAdtsHeaderSize];
  const size_t got = std::fread(header, 1, sizeof header, file.get());
  if (got == 0) return false;
  if (got != sizeof header || header[0] != 0xFF || (header[1] & 0xF0) != 0xF0) {
    broken = true;
    return false;
  }
  const size_t length = (size_t{header[3] & 3u} << 11) | (size_t{header[4]} << 3) | (header[5] >> 5);
  if (length < sizeof header) {
    broken = true;
    return false;
  }
  frame.assign(header, header + sizeof header);
  frame.resize(length);
  if (std::fread(frame.data() + sizeof header, 1, length - sizeof header, file.get()) !=
      length - sizeof header) {
    broken = true;
    return false;
  }
  if (format != nullptr) {
    format->profile = (header[2] >> 6) + 1;
    format->sampleRate = vidscribe::kAacSampleRates[(header[2] >> 2) & 0x0F];
    format->channels = ((header[2] & 1) << 2) | (header[3] >> 6);
  }
  return true;
}

}  // namespace vidscribe_tool

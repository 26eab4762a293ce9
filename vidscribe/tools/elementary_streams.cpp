#include "elementary_streams.h"

#include <cstring>

using vidscribe::UnitType;

namespace vidscribe_tool {

namespace {
constexpr size_t kChunk = 1 << 20;
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
  size_t begin = static_cast<size_t>(vidscribe::FindStartCode(data + from, data + buffer.size()) - data);
  if (begin < buffer.size() && begin > from && data[begin - 1] == 0) --begin;
  return begin;
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
    const bool slice = type == vidscribe::kUnitSlice || type == vidscribe::kUnitIdr;
    // first_mb_in_slice 0 (its Exp-Golomb code is the single bit 1).
    const bool firstSlice = slice && payload + 1 < end && (buffer[payload + 1] & 0x80) != 0;
    const bool opensUnit =
        (type >= vidscribe::kUnitSei && type <= vidscribe::kUnitDelimiter) || (type >= 14 && type <= 18);
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
  constexpr size_t kHeader = 7;
  uint8_t header[kHeader];
  const size_t got = std::fread(header, 1, sizeof header, file.get());
  if (got == 0) return false;
  vidscribe::AdtsHeader parsed;
  if (got != sizeof header || !vidscribe::ParseAdtsHeader(header, sizeof header, parsed)) {
    broken = true;
    return false;
  }
  const size_t length = static_cast<size_t>(parsed.frameLength);
  frame.assign(header, header + sizeof header);
  frame.resize(length);
  if (std::fread(frame.data() + sizeof header, 1, length - sizeof header, file.get()) !=
      length - sizeof header) {
    broken = true;
    return false;
  }
  if (format != nullptr) {
    format->profile = parsed.profile;
    format->sampleRate = parsed.sampleRate;
    format->channels = parsed.channels;
  }
  return true;
}

}  // namespace vidscribe_tool

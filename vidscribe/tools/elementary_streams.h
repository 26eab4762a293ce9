// Readers of the raw inputs the record command takes: an H.264 Annex B byte
// stream cut into access units, and ADTS AAC frames. Both read in bounded
// chunks, so an input of any size is recorded in constant memory.
#ifndef VIDSCRIBE_TOOL_ELEMENTARY_STREAMS_H
#define VIDSCRIBE_TOOL_ELEMENTARY_STREAMS_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "vidscribe/vidscribe.h"

namespace vidscribe_tool {

struct FileCloser {
  void operator()(FILE* file) const {
    if (file != nullptr) std::fclose(file);
  }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

class AnnexBFrameReader {
 public:
  bool Open(const char* path);
  // The next access unit with its start codes; false at the end.
  bool Next(std::vector<uint8_t>& frame);
  int64_t Consumed() const { return consumed; }

 private:
  // The next unit as [begin, end) of buffer, start code included.
  bool nextUnit(size_t& begin, size_t& end);
  size_t findStartCode(size_t from) const;
  bool fill();

  FilePtr file;
  std::vector<uint8_t> buffer;
  size_t pos = 0;
  bool eof = false;
  int64_t consumed = 0;
  std::vector<uint8_t> current;
  bool currentHasSlice = false;
};

struct AdtsFormat {
  int sampleRate = 0;
  int channels = 0;
  int profile = 0;
};

class AdtsFrameReader {
 public:
  bool Open(const char* path);
  // The next whole frame, header included; false at the end or on a frame
  // that is cut or out of sync (error() tells which).
  bool Next(std::vector<uint8_t>& frame, AdtsFormat* format);
  bool error() const { return broken; }

 private:
  FilePtr file;
  bool broken = false;
};

}  // namespace vidscribe_tool

#endif  // VIDSCRIBE_TOOL_ELEMENTARY_STREAMS_H

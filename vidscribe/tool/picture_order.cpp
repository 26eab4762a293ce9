#include "picture_order.h"

#include <algorithm>
#include <vector>

#include "bitstream/bit_reader.h"
#include "bitstream/sps_parser.h"
#include "elementary_streams.h"

using vidscribe::BitReader;
using vidscribe::RemoveEmulationPrevention;
using vidscribe::SkipScalingList;
using vidscribe::SpsHasChromaFields;

namespace vidscribe_tool {

namespace {

// Calls visit(unit, length) for each unit of an Annex B access unit up to
// and including the first slice, which is handed over with the rest of the
// access unit as its length: only its header is read, and scanning the
// slice data (the bulk of every frame) for the next start code would cost a
// pass over the whole stream.
template <typename Visit>
void forEachUnitToFirstSlice(const uint8_t* data, size_t length, Visit&& visit) {
  size_t start = length;
  for (size_t i = 0; i + 2 < length; ++i) {
    if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
    if (start < length) {
      size_t end = i;
      while (end > start && data[end - 1] == 0) --end;
      visit(data + start, end - start);
    }
    start = i + 3;
    if (start < length) {
      const int type = data[start] & 0x1F;
      if (type == 1 || type == 5) {
        visit(data + start, length - start);
        return;
      }
    }
    i += 2;
  }
  if (start < length) visit(data + start, length - start);
}

}  // namespace

void PictureOrder::takeSps(const uint8_t* unit, size_t length) {
  const std::vector<uint8_t> bytes = RemoveEmulationPrevention(unit + 1, length > 0 ? length - 1 : 0, 512);
  BitReader bits(bytes.data(), bytes.size());
  uint32_t profile = 0, value = 0;
  if (!bits.ReadBits(8, profile) || !bits.Skip(16) || !bits.ReadUe(value)) return;
  separateColourPlane = false;
  if (SpsHasChromaFields(profile)) {
    uint32_t chroma = 0, flag = 0;
    if (!bits.ReadUe(chroma)) return;
    if (chroma == 3 && bits.ReadBit(flag)) separateColourPlane = flag != 0;
    if (!bits.ReadUe(value) || !bits.ReadUe(value) || !bits.Skip(1) || !bits.ReadBit(flag)) return;
    if (flag) {
      for (int i = 0; i < (chroma != 3 ? 8 : 12); ++i) {
        uint32_t present = 0;
        if (!bits.ReadBit(present)) return;
        if (present && !SkipScalingList(bits, i < 6 ? 16 : 64)) return;
      }
    }
  }
  uint32_t frameNumBits = 0, type = 0, pocBits = 0;
  if (!bits.ReadUe(frameNumBits) || !bits.ReadUe(type)) return;
  if (type == 0 && !bits.ReadUe(pocBits)) return;
  if (type == 1) {
    // Rare counting type: display order is taken as decode order.
    haveSps = false;
    return;
  }
  uint32_t refFrames = 0, gaps = 0, widthMbs = 0, heightUnits = 0, frameOnly = 0;
  if (!bits.ReadUe(refFrames) || !bits.ReadBit(gaps) || !bits.ReadUe(widthMbs) || !bits.ReadUe(heightUnits) ||
      !bits.ReadBit(frameOnly))
    return;
  log2MaxFrameNum = frameNumBits + 4;
  pocType = type;
  log2MaxPocLsb = pocBits + 4;
  frameMbsOnly = frameOnly != 0;
  haveSps = log2MaxFrameNum <= 16 && log2MaxPocLsb <= 16;
}

bool PictureOrder::sliceOrder(const uint8_t* unit, size_t length, bool idr, int64_t* poc) {
  const std::vector<uint8_t> bytes = RemoveEmulationPrevention(unit + 1, length > 0 ? length - 1 : 0, 64);
  BitReader bits(bytes.data(), bytes.size());
  uint32_t value = 0, lsb = 0, field = 0, bottom = 0;
  if (!bits.ReadUe(value) || !bits.ReadUe(value) || !bits.ReadUe(value)) return false;
  if (separateColourPlane && !bits.Skip(2)) return false;
  if (!bits.ReadBits(static_cast<int>(log2MaxFrameNum), value)) return false;
  if (!frameMbsOnly && bits.ReadBit(field) && field && !bits.ReadBit(bottom)) return false;
  if (idr && !bits.ReadUe(value)) return false;
  if (!bits.ReadBits(static_cast<int>(log2MaxPocLsb), lsb)) return false;
  if (idr) {
    prevPocMsb = 0;
    prevPocLsb = 0;
  }
  const int64_t maxLsb = int64_t{1} << log2MaxPocLsb;
  int64_t msb = prevPocMsb;
  if (lsb < prevPocLsb && prevPocLsb - lsb >= maxLsb / 2) {
    msb = prevPocMsb + maxLsb;
  } else if (lsb > prevPocLsb && lsb - prevPocLsb > maxLsb / 2) {
    msb = prevPocMsb - maxLsb;
  }
  *poc = msb + lsb;
  // Only reference pictures anchor the counting of the pictures after them.
  if ((unit[0] & 0x60) != 0) {
    prevPocMsb = msb;
    prevPocLsb = lsb;
  }
  return true;
}

PictureOrder::Frame PictureOrder::Next(const uint8_t* accessUnit, size_t length) {
  Frame frame;
  bool sliceSeen = false;
  forEachUnitToFirstSlice(accessUnit, length, [&](const uint8_t* unit, size_t size) {
    if (size < 2) return;
    const int type = unit[0] & 0x1F;
    if (type == 7) takeSps(unit, size);
    if ((type != 1 && type != 5) || sliceSeen) return;
    sliceSeen = true;
    frame.idr = type == 5;
    int64_t poc = 0;
    if (haveSps && pocType == 0 && sliceOrder(unit, size, frame.idr, &poc)) frame.displayIndex = poc / 2;
  });
  return frame;
}

void CompositionClock::Next(const PictureOrder::Frame& frame, uint64_t* decodeMs, int* compositionMs) {
  if (frame.idr) idrIndex = decodeIndex;
  const double frameMs = 1000.0 / fps;
  const auto at = [frameMs](int64_t index) { return static_cast<int64_t>(index * frameMs + 0.5); };
  *decodeMs = static_cast<uint64_t>(at(decodeIndex));
  const int64_t display =
      frame.displayIndex >= 0 ? idrIndex + frame.displayIndex + delay : decodeIndex + delay;
  const int64_t offset = at(display) - at(decodeIndex);
  *compositionMs = offset < 0 ? 0 : static_cast<int>(offset);
  ++decodeIndex;
}

int64_t LearnDisplayDelay(const char* path, int frames) {
  AnnexBFrameReader reader;
  if (!reader.Open(path)) return 0;
  PictureOrder order;
  std::vector<uint8_t> frame;
  int64_t decodeIndex = 0, idrIndex = 0, delay = 0;
  for (int i = 0; i < frames && reader.Next(frame); ++i, ++decodeIndex) {
    const PictureOrder::Frame info = order.Next(frame.data(), frame.size());
    if (info.idr) idrIndex = decodeIndex;
    if (info.displayIndex >= 0) delay = std::max(delay, decodeIndex - idrIndex - info.displayIndex);
  }
  return delay;
}

}  // namespace vidscribe_tool

// PictureOrder: picture order counts of type 0 read from the slice headers,
// turned into each frame's place in display order after its IDR frame.
#include <vector>

#include "bitstream/bit_reader.h"
#include "bitstream/sps_parser.h"
#include "vidscribe/vidscribe.h"

namespace vidscribe {

namespace {

// Calls visit(unit, length) for each unit of an access unit up to and
// including the first slice, which is handed over with the rest of the
// access unit as its length: only its header is read, and scanning the slice
// data (the bulk of every frame) for the next start code would cost a pass
// over the whole stream.
template <typename Visit>
void forEachUnitToFirstSlice(const uint8_t* data, size_t length, Visit&& visit) {
  const uint8_t* end = data + length;
  for (const uint8_t* code = FindStartCode(data, end); code < end;) {
    const uint8_t* unit = code + 3;
    if (unit >= end) return;
    const int type = UnitType(unit);
    if (type == kUnitSlice || type == kUnitIdr) {
      visit(unit, static_cast<size_t>(end - unit));
      return;
    }
    code = FindStartCode(unit, end);
    visit(unit, static_cast<size_t>(code - unit));
  }
}

}  // namespace

void PictureOrder::takeSps(const uint8_t* unit, size_t length) {
  SpsInfo sps;
  if (!ParseSps(unit, length, sps)) return;
  log2MaxFrameNum = sps.log2MaxFrameNum;
  pocType = sps.pocType;
  log2MaxPocLsb = sps.log2MaxPocLsb;
  frameMbsOnly = sps.frameMbsOnly;
  separateColourPlane = sps.separateColourPlane;
  // Counting of type 1 is rare: its display order is taken as decode order.
  haveSps = sps.pocType != 1;
}

bool PictureOrder::sliceOrder(const uint8_t* unit, size_t length, bool idr, int64_t* poc) {
  const std::vector<uint8_t> bytes = RemoveEmulationPrevention(unit + 1, length > 0 ? length - 1 : 0, 64);
  BitReader bits(bytes.data(), bytes.size());
  uint32_t value = 0, lsb = 0, field = 0, bottom = 0;
  // first_mb_in_slice, slice_type, pic_parameter_set_id
  if (!bits.ReadUe(value) || !bits.ReadUe(value) || !bits.ReadUe(value)) return false;
  if (separateColourPlane && !bits.Skip(2)) return false;
  if (!bits.ReadBits(static_cast<int>(log2MaxFrameNum), value)) return false;
  if (!frameMbsOnly && bits.ReadBit(field) && field && !bits.ReadBit(bottom)) return false;
  if (idr && !bits.ReadUe(value)) return false;  // idr_pic_id
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
  if (accessUnit == nullptr) return frame;
  bool sliceSeen = false;
  forEachUnitToFirstSlice(accessUnit, length, [&](const uint8_t* unit, size_t size) {
    if (size < 2) return;
    const int type = UnitType(unit);
    if (type == kUnitSps) takeSps(unit, size);
    if ((type != kUnitSlice && type != kUnitIdr) || sliceSeen) return;
    sliceSeen = true;
    frame.idr = type == kUnitIdr;
    int64_t poc = 0;
    // A count below the IDR frame's names no place after it: unknown.
    if (haveSps && pocType == 0 && sliceOrder(unit, size, frame.idr, &poc) && poc >= 0)
      frame.displayIndex = poc / 2;
  });
  return frame;
}

}  // namespace vidscribe

#include "bitstream/sps_parser.h"

#include <vector>

#include "bitstream/bit_reader.h"

namespace vidscribe {

std::vector<uint8_t> RemoveEmulationPrevention(const uint8_t* data, size_t length, size_t limit) {
  std::vector<uint8_t> raw;
  raw.reserve(length < limit ? length : limit);
  int zeros = 0;
  for (size_t i = 0; i < length && raw.size() < limit; ++i) {
    if (zeros >= 2 && data[i] == 0x03) {
      zeros = 0;
      continue;
    }
    zeros = data[i] == 0 ? zeros + 1 : 0;
    raw.push_back(data[i]);
  }
  return raw;
}

namespace {

// Profiles whose SPS carries chroma format, bit depths and scaling matrices.
bool hasChromaFields(uint32_t profile) {
  static const uint32_t kProfiles[] = {100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135, 144};
  for (uint32_t known : kProfiles) {
    if (profile == known) return true;
  }
  return false;
}

bool skipScalingList(BitReader& bits, int size) {
  int32_t last = 8, next = 8;
  for (int j = 0; j < size; ++j) {
    if (next != 0) {
      int32_t delta = 0;
      if (!bits.ReadSe(delta)) return false;
      next = static_cast<int32_t>((last + int64_t{delta} + 256) % 256);
    }
    last = next == 0 ? last : next;
  }
  return true;
}

bool readChromaFields(BitReader& bits, uint32_t& chromaFormat, bool& separateColourPlane) {
  uint32_t value = 0;
  if (!bits.ReadUe(chromaFormat)) return false;
  if (chromaFormat == 3) {
    if (!bits.ReadBit(value)) return false;
    separateColourPlane = value != 0;
  }
  if (!bits.ReadUe(value) || !bits.ReadUe(value)) return false;  // bit depths
  if (!bits.Skip(1)) return false;                               // qpprime_y_zero_transform_bypass_flag
  uint32_t matrixPresent = 0;
  if (!bits.ReadBit(matrixPresent)) return false;
  if (!matrixPresent) return true;
  const int lists = chromaFormat == 3 ? 12 : 8;
  for (int i = 0; i < lists; ++i) {
    uint32_t listPresent = 0;
    if (!bits.ReadBit(listPresent)) return false;
    if (listPresent && !skipScalingList(bits, i < 6 ? 16 : 64)) return false;
  }
  return true;
}

bool readPictureOrderCount(BitReader& bits, SpsInfo& sps) {
  if (!bits.ReadUe(sps.pocType)) return false;
  if (sps.pocType == 0) {
    uint32_t lsbBits = 0;
    if (!bits.ReadUe(lsbBits) || lsbBits > 12) return false;
    sps.log2MaxPocLsb = lsbBits + 4;
    return true;
  }
  if (sps.pocType != 1) return true;
  int32_t offset = 0;
  uint32_t cycle = 0;
  if (!bits.Skip(1) || !bits.ReadSe(offset) || !bits.ReadSe(offset) || !bits.ReadUe(cycle)) return false;
  for (uint32_t i = 0; i < cycle; ++i) {
    if (!bits.ReadSe(offset)) return false;  // a short unit ends this loop early
  }
  return true;
}

// Cropping is counted in chroma sample units, doubled vertically for field
// coding. A rectangle that leaves no picture is ignored.
void applyCropping(BitReader& bits, uint32_t chromaFormat, bool separateColourPlane, SpsInfo& sps) {
  uint32_t cropping = 0, left = 0, right = 0, top = 0, bottom = 0;
  if (!bits.ReadBit(cropping) || !cropping) return;
  if (!bits.ReadUe(left) || !bits.ReadUe(right) || !bits.ReadUe(top) || !bits.ReadUe(bottom)) return;
  const uint32_t arrayType = separateColourPlane ? 0 : chromaFormat;
  const int64_t unitX = arrayType == 1 || arrayType == 2 ? 2 : 1;
  const int64_t unitY = (arrayType == 1 ? 2 : 1) * (sps.frameMbsOnly ? 1 : 2);
  const int64_t width = sps.width - unitX * (int64_t{left} + right);
  const int64_t height = sps.height - unitY * (int64_t{top} + bottom);
  if (width <= 0 || height <= 0) return;
  sps.width = static_cast<int>(width);
  sps.height = static_cast<int>(height);
}

}  // namespace

bool ParseSps(const uint8_t* unit, size_t length, SpsInfo& out) {
  if (unit == nullptr || length < 4 || (unit[0] & 0x1F) != 7) return false;
  SpsInfo sps;
  sps.profile = unit[1];
  const std::vector<uint8_t> raw = RemoveEmulationPrevention(unit + 4, length - 4);
  BitReader bits(raw.data(), raw.size());
  uint32_t value = 0, chromaFormat = 1;
  if (!bits.ReadUe(value)) return false;  // seq_parameter_set_id
  if (hasChromaFields(sps.profile) && !readChromaFields(bits, chromaFormat, sps.separateColourPlane))
    return false;
  uint32_t frameNumBits = 0;
  if (!bits.ReadUe(frameNumBits) || frameNumBits > 12) return false;
  sps.log2MaxFrameNum = frameNumBits + 4;
  if (!readPictureOrderCount(bits, sps)) return false;
  if (!bits.ReadUe(value) || !bits.Skip(1)) return false;  // max_num_ref_frames, gaps flag
  uint32_t widthMbs = 0, heightUnits = 0;
  if (!bits.ReadUe(widthMbs) || !bits.ReadUe(heightUnits)) return false;
  // Anything larger cannot be represented as an int of pixels.
  constexpr uint32_t kMaxMbs = 1u << 19;
  if (widthMbs >= kMaxMbs || heightUnits >= kMaxMbs) return false;
  uint32_t frameMbsOnly = 1;
  if (!bits.ReadBit(frameMbsOnly)) frameMbsOnly = 1;
  sps.frameMbsOnly = frameMbsOnly != 0;
  sps.width = static_cast<int>((widthMbs + 1) * 16);
  sps.height = static_cast<int>((heightUnits + 1) * 16 * (sps.frameMbsOnly ? 1 : 2));
  // mb_adaptive_frame_field_flag for field coding, direct_8x8_inference_flag.
  if (bits.Skip(sps.frameMbsOnly ? 1 : 2)) applyCropping(bits, chromaFormat, sps.separateColourPlane, sps);
  out = sps;
  return true;
}

bool ParseSpsSize(const uint8_t* sps, size_t length, int* width, int* height) {
  SpsInfo info;
  if (!ParseSps(sps, length, info)) return false;
  *width = info.width;
  *height = info.height;
  return true;
}

}  // namespace vidscribe

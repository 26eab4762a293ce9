#include "bitstream/sps_parser.h"

#include <vector>

#include "bitstream/bit_reader.h"

namespace vidscribe {

bool SpsHasChromaFields(uint32_t profile) {
  static const uint32_t kProfiles[] = {100, 110, 122, 244, 44, 83, 86, 118, 128, 138, 139, 134, 135, 144};
  for (uint32_t known : kProfiles) {
    if (profile == known) return true;
  }
  return false;
}

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

bool SkipScalingList(BitReader& bits, int size) {
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

namespace {

bool skipChromaFields(BitReader& bits) {
  uint32_t chromaFormat = 0, value = 0;
  if (!bits.ReadUe(chromaFormat)) return false;
  if (chromaFormat == 3 && !bits.Skip(1)) return false;          // separate_colour_plane_flag
  if (!bits.ReadUe(value) || !bits.ReadUe(value)) return false;  // bit depths
  if (!bits.Skip(1)) return false;                               // qpprime_y_zero_transform_bypass_flag
  uint32_t matrixPresent = 0;
  if (!bits.ReadBit(matrixPresent)) return false;
  if (!matrixPresent) return true;
  const int lists = chromaFormat == 3 ? 12 : 8;
  for (int i = 0; i < lists; ++i) {
    uint32_t listPresent = 0;
    if (!bits.ReadBit(listPresent)) return false;
    if (listPresent && !SkipScalingList(bits, i < 6 ? 16 : 64)) return false;
  }
  return true;
}

bool skipPictureOrderCount(BitReader& bits) {
  uint32_t type = 0, value = 0;
  if (!bits.ReadUe(type)) return false;
  if (type == 0) return bits.ReadUe(value);
  if (type != 1) return true;
  int32_t offset = 0;
  uint32_t cycle = 0;
  if (!bits.Skip(1) || !bits.ReadSe(offset) || !bits.ReadSe(offset) || !bits.ReadUe(cycle)) return false;
  for (uint32_t i = 0; i < cycle; ++i) {
    if (!bits.ReadSe(offset)) return false;  // a short unit ends this loop early
  }
  return true;
}

}  // namespace

bool ParseSpsSize(const uint8_t* sps, size_t length, int* width, int* height) {
  if (sps == nullptr || length < 4 || (sps[0] & 0x1F) != 7) return false;
  const uint32_t profile = sps[1];
  const std::vector<uint8_t> raw = RemoveEmulationPrevention(sps + 4, length - 4);
  BitReader bits(raw.data(), raw.size());
  uint32_t value = 0;
  if (!bits.ReadUe(value)) return false;  // seq_parameter_set_id
  if (SpsHasChromaFields(profile) && !skipChromaFields(bits)) return false;
  if (!bits.ReadUe(value)) return false;  // log2_max_frame_num_minus4
  if (!skipPictureOrderCount(bits)) return false;
  if (!bits.ReadUe(value) || !bits.Skip(1)) return false;  // max_num_ref_frames, gaps flag
  uint32_t widthMbs = 0, heightUnits = 0;
  if (!bits.ReadUe(widthMbs) || !bits.ReadUe(heightUnits)) return false;
  // Anything wider than this cannot be represented as an int of pixels.
  constexpr uint32_t kMaxMbs = 1u << 20;
  if (widthMbs >= kMaxMbs || heightUnits >= kMaxMbs) return false;
  *width = static_cast<int>((widthMbs + 1) * 16);
  *height = static_cast<int>((heightUnits + 1) * 16);
  return true;
}

}  // namespace vidscribe

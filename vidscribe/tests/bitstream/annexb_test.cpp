#include "bitstream/annexb.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vidscribe {
namespace {

std::vector<uint8_t> convert(const std::vector<uint8_t>& in) {
  std::vector<uint8_t> out(AnnexBMaxOutput(in.size()));
  size_t length = 99;
  EXPECT_TRUE(AnnexBToLengthPrefixed(in.data(), in.size(), out.data(), out.size(), &length));
  out.resize(length);
  return out;
}

TEST(AnnexBConversion, FourAndThreeByteStartCodes) {
  EXPECT_EQ(convert({0, 0, 0, 1, 0x67, 0xAA, 0, 0, 1, 0x68, 0xBB}),
            (std::vector<uint8_t>{0, 0, 0, 2, 0x67, 0xAA, 0, 0, 0, 2, 0x68, 0xBB}));
  // The zero in front of a following four-byte code is not part of the unit.
  EXPECT_EQ(convert({0, 0, 1, 0x65, 0, 0, 0, 1, 0x41, 0x9A}),
            (std::vector<uint8_t>{0, 0, 0, 1, 0x65, 0, 0, 0, 2, 0x41, 0x9A}));
  // Bytes before the first start code are not a unit.
  EXPECT_EQ(convert({0x12, 0x34, 0, 0, 1, 0x09}), (std::vector<uint8_t>{0, 0, 0, 1, 0x09}));
}

TEST(AnnexBConversion, NothingToConvert) {
  EXPECT_TRUE(convert({0x65, 0x88, 0x84, 0x00, 0x00, 0x02}).empty());
  EXPECT_TRUE(convert({}).empty());
  EXPECT_TRUE(convert({0, 0}).empty());
}

TEST(AnnexBConversion, RefusesTooSmallOutputInsteadOfOverrunning) {
  // Many 3-byte start codes: the output is one byte per code longer.
  std::vector<uint8_t> in;
  for (int i = 0; i < 40; ++i) in.insert(in.end(), {0, 0, 1, 0x41});
  std::vector<uint8_t> out(in.size() + 39, 0xEE);
  out.push_back(0xEE);  // guard byte: in.size() + 40 would be needed
  size_t length = 1;
  EXPECT_FALSE(AnnexBToLengthPrefixed(in.data(), in.size(), out.data(), in.size() + 39, &length));
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(out.back(), 0xEE);
  EXPECT_TRUE(AnnexBToLengthPrefixed(in.data(), in.size(), out.data(), out.size(), &length));
  EXPECT_EQ(length, in.size() + 40);
}

TEST(AnnexBConversion, UnitsWalkBackOut) {
  const std::vector<uint8_t> converted = convert({0, 0, 0, 1, 0x67, 1, 2, 0, 0, 1, 0x68, 3, 0, 0, 1, 0x65});
  std::vector<int> types;
  ForEachLengthPrefixedUnit(converted.data(), converted.size(),
                            [&](const uint8_t* unit, size_t) { types.push_back(unit[0] & 0x1F); });
  EXPECT_EQ(types, (std::vector<int>{7, 8, 5}));
  // A length running past the end stops the walk.
  const uint8_t bad[] = {0, 0, 0, 9, 0x65};
  int seen = 0;
  ForEachLengthPrefixedUnit(bad, sizeof bad, [&](const uint8_t*, size_t) { ++seen; });
  EXPECT_EQ(seen, 0);
}

// The conversion written the slow, obvious way, byte by byte.
std::vector<uint8_t> referenceConvert(const std::vector<uint8_t>& in) {
  auto isCode = [&](size_t i) { return i + 2 < in.size() && in[i] == 0 && in[i + 1] == 0 && in[i + 2] == 1; };
  size_t code = 0;
  while (code < in.size() && !isCode(code)) ++code;
  if (code == in.size()) return {};
  if (code > 0 && in[code - 1] == 0) --code;
  std::vector<uint8_t> out;
  while (code < in.size()) {
    size_t unit = code;
    while (in[unit] == 0) ++unit;
    ++unit;
    size_t next = unit;
    while (next < in.size() && !isCode(next)) ++next;
    size_t unitEnd = next;
    if (next < in.size() && next > unit && in[next - 1] == 0) --unitEnd;
    const size_t length = unitEnd - unit;
    out.insert(out.end(),
               {uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length)});
    out.insert(out.end(), in.begin() + static_cast<long>(unit), in.begin() + static_cast<long>(unitEnd));
    code = unitEnd;
  }
  return out;
}

TEST(AnnexBConversion, AgreesWithByteByByteScanOnZeroHeavyData) {
  // Mostly zeros and ones, so start codes fall on every offset of the
  // 16-byte blocks the fast scan works in, and across block ends.
  std::mt19937 random(1234);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> in(random() % 200);
    for (auto& byte : in) {
      const unsigned pick = random() % 8;
      byte = pick < 4 ? 0 : pick < 6 ? 1 : static_cast<uint8_t>(random());
    }
    ASSERT_EQ(convert(in), referenceConvert(in)) << "round " << round;
  }
}

}  // namespace
}  // namespace vidscribe

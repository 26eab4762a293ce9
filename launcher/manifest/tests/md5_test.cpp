#include "launcher/manifest/md5.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <string>

#include "manifest_test_support.h"

using namespace manifesttest;

namespace {

std::string HexOf(const std::string& text) {
  Md5 md5;
  md5.Update(text.data(), text.size());
  md5.Finish();
  return md5.HexDigest();
}

std::string RandomBytes(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

TEST(Md5Digest, ReferenceVectors) {
  EXPECT_EQ(HexOf(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(HexOf("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(HexOf("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(HexOf("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(HexOf("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(HexOf("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  std::string digits;
  for (int i = 0; i < 8; ++i) digits += "1234567890";
  EXPECT_EQ(HexOf(digits), "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5Digest, PiecesGiveTheSameDigestAcrossBlockEdges) {
  for (std::size_t size : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u}) {
    const std::string data = RandomBytes(size, static_cast<unsigned>(size));
    const std::string whole = HexOf(data);
    for (std::size_t step : {1u, 3u, 63u, 64u}) {
      Md5 md5;
      for (std::size_t at = 0; at < data.size(); at += step) {
        md5.Update(data.data() + at, std::min(step, data.size() - at));
      }
      md5.Finish();
      EXPECT_EQ(md5.HexDigest(), whole) << size << "/" << step;
    }
  }
}

TEST(Md5Digest, UnfinishedIsEmptyAndFinishedTakesNoMore) {
  Md5 md5;
  md5.Update("abc", 3);
  EXPECT_EQ(md5.HexDigest(), "");
  md5.Finish();
  md5.Update("def", 3);
  md5.Finish();
  EXPECT_EQ(md5.HexDigest(), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Md5OfFileOracle, MatchesMd5sumAroundTheReadBlockSize) {
  ScratchDir scratch;
  for (std::size_t size : {0u, 1u, 8191u, 8192u, 8193u, 3 * 8192u + 17, 200000u}) {
    const std::string path = scratch / ("f" + std::to_string(size));
    WriteFile(path, RandomBytes(size, 7));
    const std::string digest = Md5OfFile(path);
    EXPECT_EQ(digest, Md5sumOf(path)) << size;
    if (size == 0) {
      EXPECT_EQ(digest, "d41d8cd98f00b204e9800998ecf8427e");
    }
  }
}

TEST(Md5OfFileOracle, HashesToTheEndNotToTheReportedSize) {
  // Files under /proc report size 0 but have content.
  const std::string digest = Md5OfFile("/proc/self/mountinfo");
  EXPECT_NE(digest, "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(digest.size(), 32u);
}

TEST(Md5OfFileOracle, UnreadableGivesEmptyText) {
  ScratchDir scratch;
  EXPECT_EQ(Md5OfFile(scratch / "missing"), "");
  EXPECT_EQ(Md5OfFile(scratch.path()), "");  // a folder opens but cannot be read
}

}  // namespace

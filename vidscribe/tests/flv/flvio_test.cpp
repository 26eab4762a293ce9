#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "flv/memory_read_stream.h"
#include "vidscribe/vidscribe.h"

namespace {

std::string tempPath(const char* name) {
  return testing::TempDir() + "flvio_" + std::to_string(getpid()) + "_" + name;
}

std::string readFile(const std::string& path) {
  std::string all;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    char chunk[4096];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) all.append(chunk, n);
    std::fclose(f);
  }
  return all;
}

TEST(FlvioFile, ModesCreateReadAndAppend) {
  const std::string path = tempPath("modes");
  unlink(path.c_str());
  FLVIO io;
  EXPECT_FALSE(io.Open(path.c_str(), FLVIO::ModeRead));  // missing file
  EXPECT_FALSE(io.isOpen());
  EXPECT_FALSE(io.Open(path.c_str(), static_cast<FLVIO::Mode>(7)));

  ASSERT_TRUE(io.Open(path.c_str(), FLVIO::ModeAppend));  // creates it
  EXPECT_EQ(io.Write("abc", 3), 3);
  io.Close();
  ASSERT_TRUE(io.Open(path.c_str(), FLVIO::ModeAppend));  // keeps content, at the end
  EXPECT_EQ(io.Pos(), 3);
  EXPECT_EQ(io.Write("def", 3), 3);
  // Reading right after writing needs no seek from the caller.
  EXPECT_EQ(io.Seek(1, 0), 1);
  EXPECT_EQ(io.Write("X", 1), 1);
  char two[2];
  EXPECT_EQ(io.Read(two, 2), 2);
  EXPECT_EQ(std::string(two, 2), "cd");
  EXPECT_EQ(io.Write("Y", 1), 1);

  // Size leaves the position alone.
  EXPECT_EQ(io.Size(), 6);
  EXPECT_EQ(io.Pos(), 5);
  io.Truncate(4);
  EXPECT_EQ(io.Size(), 4);
  io.Close();
  EXPECT_EQ(readFile(path), "aXcd");

  // A failed open keeps the channel that was open.
  ASSERT_TRUE(io.Open(path.c_str(), FLVIO::ModeRead));
  EXPECT_FALSE(io.Open((path + "/nowhere").c_str(), FLVIO::ModeCreate));
  EXPECT_TRUE(io.isOpen());
  EXPECT_EQ(io.Read(two, 2), 2);
  io.Close();
  EXPECT_EQ(io.Pos(), -1);
  EXPECT_EQ(io.Size(), -1);
  EXPECT_EQ(io.Seek(0, 0), -1);
  unlink(path.c_str());
}

TEST(FlvioFile, PositionsBeyondTwoGiB) {
  const std::string path = tempPath("large");
  FLVIO io;
  ASSERT_TRUE(io.Open(path.c_str(), FLVIO::ModeCreate));
  const int64_t far = (int64_t{3} << 30) + 5;  // sparse: nothing is really stored
  ASSERT_EQ(io.Seek(far, 0), far);
  ASSERT_EQ(io.Write("tail", 4), 4);
  EXPECT_EQ(io.Pos(), far + 4);
  EXPECT_EQ(io.Size(), far + 4);
  EXPECT_EQ(io.Seek(-4, 1), far);
  char back[4];
  ASSERT_EQ(io.Read(back, 4), 4);
  EXPECT_EQ(std::string(back, 4), "tail");
  io.Truncate(far + 2);
  EXPECT_EQ(io.Size(), far + 2);
  io.Close();
  unlink(path.c_str());
}

TEST(FlvioStream, ReadOnlyAndReleasedOnce) {
  const uint8_t bytes[] = {1, 2, 3, 4, 5};
  vidscribe::MemoryReadStream stream(bytes, sizeof bytes);
  {
    FLVIO io;
    io.Attach(&stream);
    io.Attach(&stream);  // the same stream again is not a hand-over
    EXPECT_EQ(stream.releases, 0);
    EXPECT_TRUE(io.isOpen());
    EXPECT_EQ(io.Write(bytes, 2), 0);
    EXPECT_EQ(io.Size(), 5);
    EXPECT_EQ(io.Seek(2, 0), 2);
    uint8_t got[8];
    EXPECT_EQ(io.Read(got, 8), 3);
    EXPECT_EQ(io.Seek(9, 0), -1);
    io.Truncate(1);
    EXPECT_EQ(io.Size(), 5);
  }
  EXPECT_EQ(stream.releases, 1);
}

}  // namespace

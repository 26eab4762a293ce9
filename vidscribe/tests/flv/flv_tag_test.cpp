#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "flv/memory_read_stream.h"
#include "vidscribe/vidscribe.h"

namespace {

// A file header (9 bytes) and PreviousTagSize0 come first; tags then follow
// with their own PreviousTagSize, as Write2 lays them out.
std::vector<uint8_t> fileHeader() {
  return {'F', 'L', 'V', 1, 5, 0, 0, 0, 9};
}

void appendTag(std::vector<uint8_t>& file, uint8_t type, uint32_t time, const std::vector<uint8_t>& body) {
  const uint32_t size = static_cast<uint32_t>(body.size());
  const uint8_t header[11] = {type,
                              uint8_t(size >> 16),
                              uint8_t(size >> 8),
                              uint8_t(size),
                              uint8_t(time >> 16),
                              uint8_t(time >> 8),
                              uint8_t(time),
                              uint8_t(time >> 24),
                              0,
                              0,
                              0};
  file.insert(file.end(), header, header + 11);
  file.insert(file.end(), body.begin(), body.end());
  const uint32_t back = size + 11;
  file.insert(file.end(), {uint8_t(back >> 24), uint8_t(back >> 16), uint8_t(back >> 8), uint8_t(back)});
}

std::vector<uint8_t> threeTagFile() {
  std::vector<uint8_t> file = fileHeader();
  file.insert(file.end(), {0, 0, 0, 0});
  appendTag(file, 18, 0, std::vector<uint8_t>(30, 0x02));
  appendTag(file, 9, 40, {0x17, 1, 0, 0, 0, 0xAA, 0xBB});
  appendTag(file, 8, 0x01234567, {0xAF, 1, 0x21});
  return file;
}

TEST(FlvTagFields, HeaderBytesAndAccessors) {
  FlvTag tag;
  for (int i = 0; i < 15; ++i) EXPECT_EQ(tag.buffer[i], 0);
  EXPECT_EQ(tag.GetData(), nullptr);
  tag.SetTimeStamp(0x01234567);
  EXPECT_EQ(tag.buffer[8], 0x23);
  EXPECT_EQ(tag.buffer[9], 0x45);
  EXPECT_EQ(tag.buffer[10], 0x67);
  EXPECT_EQ(tag.buffer[11], 0x01);
  EXPECT_EQ(tag.GetTimeStamp(), 0x01234567u);
  tag.SetPrevTagSize(0xA1B2C3D4);
  EXPECT_EQ(tag.buffer[0], 0xA1);
  EXPECT_EQ(tag.GetPrevTagSize(), 0xA1B2C3D4u);
  tag.SetDataSize(0x123456);
  tag.SetStreamID(0xABCDEF);
  EXPECT_EQ(tag.GetDataSize(), 0x123456u);
  EXPECT_EQ(tag.GetStreamID(), 0xABCDEFu);
  EXPECT_EQ(tag.Size(), 0x123456 + 15);
}

TEST(FlvTagFields, KeyFramesAndPayloadBounds) {
  FlvTag tag(100, 7);
  tag.SetType(9);
  tag.SetDataSize(100);
  tag.GetData()[0] = 0x17;
  EXPECT_TRUE(tag.isKeyFrame());
  tag.GetData()[0] = 0x27;
  EXPECT_FALSE(tag.isKeyFrame());
  tag.SetType(8);
  tag.GetData()[0] = 0x17;
  EXPECT_FALSE(tag.isKeyFrame());
  FlvTag headerOnly;
  headerOnly.SetType(9);
  headerOnly.SetDataSize(5);
  EXPECT_FALSE(headerOnly.isKeyFrame());  // no body byte to look at

  int32_t length = -1;
  tag.bodyRead = 100;
  ASSERT_EQ(tag.GetPayLoad(15, length), tag.buffer + 15);
  EXPECT_EQ(length, 100);
  tag.bodyRead = 0;
  EXPECT_NE(tag.GetPayLoad(15, length), nullptr);
  EXPECT_EQ(tag.GetPayLoad(16, length), nullptr);
  EXPECT_EQ(tag.GetPayLoad(-1, length), nullptr);
  tag.bodyRead = 100;
  EXPECT_EQ(tag.GetPayLoad(115, length), nullptr);
  // A header claiming more than the buffer holds yields no payload.
  headerOnly.SetDataSize(300);
  EXPECT_EQ(headerOnly.GetPayLoad(0, length), nullptr);
}

TEST(FlvTagFields, AllocDataGrowsFromHeaderAndKeepsHeader) {
  FlvTag tag(10, 7);
  tag.SetDataSize(300);
  tag.SetTimeStamp(77);
  ASSERT_TRUE(tag.AllocData(0));  // takes the header's DataSize
  EXPECT_EQ(tag.capacity, 300);
  EXPECT_EQ(tag.GetTimeStamp(), 77u);
  std::memset(tag.GetData(), 0x5A, 300 + 7);  // body and slack are ours
  ASSERT_TRUE(tag.AllocData(20));
  EXPECT_EQ(tag.capacity, 300);  // never shrinks
}

TEST(FlvTagWalk, ForwardBackwardAndPositions) {
  const std::vector<uint8_t> file = threeTagFile();
  vidscribe::MemoryReadStream stream(file.data(), file.size());
  FLVIO io;
  io.Attach(&stream);
  FlvTag tag;
  ASSERT_EQ(io.Seek(9, 0), 9);
  ASSERT_TRUE(tag.ReadHdr(io, 0));
  EXPECT_EQ(tag.GetType(), 18);
  EXPECT_EQ(tag.TagPos(io), 9u);
  EXPECT_FALSE(tag.Prev(io));  // first tag: inside the file header
  EXPECT_EQ(tag.TagPos(io), 9u);

  ASSERT_TRUE(tag.Next(io));
  EXPECT_EQ(tag.GetType(), 9);
  EXPECT_EQ(tag.TagPos(io), 9u + 45);
  // Body in pieces: the second piece lands behind the first.
  ASSERT_TRUE(tag.ReadBody(io, 3));
  ASSERT_TRUE(tag.ReadBody(io, 3));
  EXPECT_EQ(tag.bodyRead, 6);
  EXPECT_EQ(tag.TagPos(io), 9u + 45);
  ASSERT_TRUE(tag.ReadBody(io, 0));
  EXPECT_EQ(std::vector<uint8_t>(tag.GetData(), tag.GetData() + 7),
            (std::vector<uint8_t>{0x17, 1, 0, 0, 0, 0xAA, 0xBB}));
  EXPECT_TRUE(tag.isKeyFrame());

  ASSERT_TRUE(tag.Next(io));
  EXPECT_EQ(tag.GetType(), 8);
  EXPECT_EQ(tag.GetTimeStamp(), 0x01234567u);
  EXPECT_FALSE(tag.Next(io));  // nothing after the last tag's size
  ASSERT_EQ(io.Seek(static_cast<int64_t>(9 + 45 + 22), 0), 76);
  ASSERT_TRUE(tag.Read(io));
  ASSERT_TRUE(tag.Prev(io));
  EXPECT_EQ(tag.GetType(), 9);
  ASSERT_TRUE(tag.Prev(io));
  EXPECT_EQ(tag.GetType(), 18);
  EXPECT_FALSE(tag.Prev(io));
}

TEST(FlvTagWalk, DamagedSizeNeitherAllocatesNorReads) {
  std::vector<uint8_t> file = fileHeader();
  file.insert(file.end(), {0, 0, 0, 0});
  appendTag(file, 9, 0, {0x17, 1, 2});
  file[13 + 1] = 0xFF;  // DataSize 0xFFFF03: far more than the file holds
  vidscribe::MemoryReadStream stream(file.data(), file.size());
  FLVIO io;
  io.Attach(&stream);
  FlvTag tag;
  ASSERT_EQ(io.Seek(9, 0), 9);
  EXPECT_FALSE(tag.ReadHdr(io, 1));
  EXPECT_EQ(tag.capacity, 0);
  EXPECT_EQ(tag.bodyRead, 0);
}

TEST(FlvTagWrite, SlotAndAppendLayoutsThroughAFile) {
  const std::string path = testing::TempDir() + "flvtag_" + std::to_string(getpid());
  FLVIO io;
  ASSERT_TRUE(io.Open(path.c_str(), FLVIO::ModeCreate));
  const std::vector<uint8_t> header = fileHeader();
  io.Write(header.data(), 9);
  FlvTag tag(3);
  tag.SetType(8);
  tag.SetDataSize(3);
  tag.SetTimeStamp(0x01234567);
  std::memcpy(tag.GetData(), "\xAF\x01\x21", 3);
  ASSERT_TRUE(tag.Write(io));   // slot layout: PreviousTagSize0 then the tag
  ASSERT_TRUE(tag.Write2(io));  // tag then its own size
  tag.SetDataSize(4);           // more than the buffer holds
  EXPECT_FALSE(tag.Write(io));
  EXPECT_FALSE(tag.Write2(io));
  io.Close();

  std::vector<uint8_t> expected = header;
  expected.insert(expected.end(), {0, 0, 0, 0});
  appendTag(expected, 8, 0x01234567, {0xAF, 1, 0x21});
  expected.resize(expected.size() - 4);  // Write ends with the body, Write2 with the tag's size
  appendTag(expected, 8, 0x01234567, {0xAF, 1, 0x21});
  FILE* f = std::fopen(path.c_str(), "rb");
  std::vector<uint8_t> actual(200);
  actual.resize(std::fread(actual.data(), 1, actual.size(), f));
  std::fclose(f);
  unlink(path.c_str());
  EXPECT_EQ(actual, expected);

  vidscribe::MemoryReadStream stream(actual.data(), actual.size());
  FLVIO readOnly;
  readOnly.Attach(&stream);
  FlvTag copy(3);
  copy.SetDataSize(3);
  EXPECT_FALSE(copy.Write(readOnly));
  EXPECT_FALSE(copy.WriteHdr(readOnly));
  EXPECT_EQ(stream.Pos(), 0);
}

}  // namespace

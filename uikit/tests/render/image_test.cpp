#include "skinui/image.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

namespace SkinUI {
namespace {

// A minimal RGBA PNG built here so the decoder meets a real file format.
std::string MakePng(int w, int h, const std::vector<unsigned char>& rgba) {
  auto be32 = [](std::string& s, unsigned v) {
    for (int i = 3; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  };
  auto chunk = [&](std::string& out, const char* type, const std::string& data) {
    be32(out, static_cast<unsigned>(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    be32(out, static_cast<unsigned>(
                  crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
  };
  std::string raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    raw.append(reinterpret_cast<const char*>(rgba.data()) + y * w * 4, static_cast<std::size_t>(w) * 4);
  }
  uLongf zlen = compressBound(static_cast<uLong>(raw.size()));
  std::string z(zlen, '\0');
  compress(reinterpret_cast<Bytef*>(z.data()), &zlen, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  z.resize(zlen);
  std::string ihdr;
  be32(ihdr, static_cast<unsigned>(w));
  be32(ihdr, static_cast<unsigned>(h));
  ihdr += std::string("\x08\x06\x00\x00\x00", 5);
  std::string png("\x89PNG\r\n\x1a\n", 8);
  chunk(png, "IHDR", ihdr);
  chunk(png, "IDAT", z);
  chunk(png, "IEND", "");
  return png;
}

std::uint32_t PixelAt(const TImageInfo& img, int x, int y) {
  const unsigned char* data = cairo_image_surface_get_data(img.bitmap.get());
  const int stride = cairo_image_surface_get_stride(img.bitmap.get());
  return reinterpret_cast<const std::uint32_t*>(data + y * stride)[x];
}

TEST(ImagePremultiply, HalfTransparentPixelIsScaledByIntegerAlpha) {
  bool transparent = false;
  EXPECT_EQ(PremultiplyPixel(200, 100, 50, 128, kNoMask, &transparent), 0x80643219u);
  EXPECT_TRUE(transparent);
  transparent = false;
  EXPECT_EQ(PremultiplyPixel(1, 2, 3, 255, kNoMask, &transparent), 0xFF010203u);
  EXPECT_FALSE(transparent);
  EXPECT_EQ(PremultiplyPixel(9, 9, 9, 0, kNoMask, &transparent), 0u);
}

TEST(ImageDecode, PngPixelsArePremultipliedAndMaskedColoursCleared) {
  const std::vector<unsigned char> rgba = {255, 0,   255, 255, 10, 20, 30, 255,
                                           200, 100, 50,  128, 0,  0,  0,  255};
  const std::string png = MakePng(2, 2, rgba);
  auto plain = DecodeImage(reinterpret_cast<const unsigned char*>(png.data()), png.size(), kNoMask);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->width, 2);
  EXPECT_EQ(plain->height, 2);
  EXPECT_TRUE(plain->alphaChannel);
  EXPECT_EQ(PixelAt(*plain, 0, 0), 0xFFFF00FFu);
  EXPECT_EQ(PixelAt(*plain, 1, 0), 0xFF0A141Eu);
  EXPECT_EQ(PixelAt(*plain, 0, 1), 0x80643219u);

  auto masked = DecodeImage(reinterpret_cast<const unsigned char*>(png.data()), png.size(), 0xFF00FF);
  ASSERT_TRUE(masked);
  EXPECT_EQ(PixelAt(*masked, 0, 0), 0u);
  EXPECT_EQ(PixelAt(*masked, 1, 0), 0xFF0A141Eu);
}

TEST(ImageDecode, OpaqueImageIsNotMarkedTransparent) {
  const std::string png = MakePng(1, 1, {1, 2, 3, 255});
  auto img = DecodeImage(reinterpret_cast<const unsigned char*>(png.data()), png.size(), kNoMask);
  ASSERT_TRUE(img);
  EXPECT_FALSE(img->alphaChannel);
}

TEST(ImageDecode, GarbageAndOversizedImagesAreRefused) {
  const unsigned char junk[] = "not an image at all";
  EXPECT_FALSE(DecodeImage(junk, sizeof junk, kNoMask));
  EXPECT_FALSE(DecodeImage(nullptr, 0, kNoMask));
  // A header claiming 9000 x 1 pixels: refused before any pixel memory.
  std::string png = MakePng(1, 1, {0, 0, 0, 255});
  png[16] = 0;
  png[17] = 0;
  png[18] = 0x23;
  png[19] = 0x28;
  EXPECT_FALSE(DecodeImage(reinterpret_cast<const unsigned char*>(png.data()), png.size(), kNoMask));
}

}  // namespace
}  // namespace SkinUI

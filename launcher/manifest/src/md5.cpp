#include "launcher/manifest/md5.h"

#include <cstring>

namespace {

inline std::uint32_t RotateLeft(std::uint32_t value, int bits) {
  return (value << bits) | (value >> (32 - bits));
}

inline std::uint32_t F(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return z ^ (x & (y ^ z));
}
// The two terms share no bits, so adding them equals or-ing them; the sum
// lets the compiler start on (y & ~z) before x, the previous step's
// result, is known.
inline std::uint32_t G(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return (x & z) + (y & ~z);
}
inline std::uint32_t H(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return x ^ y ^ z;
}
inline std::uint32_t I(std::uint32_t x, std::uint32_t y, std::uint32_t z) {
  return y ^ (x | ~z);
}

// One of the 64 operations: a = b + ((a + fn(b, c, d) + word + constant) <<< shift).
#define MD5_STEP(fn, a, b, c, d, word, constant, shift) \
  a = b + RotateLeft(a + fn(b, c, d) + (word) + (constant), shift)

[[maybe_unused]] inline std::uint32_t LoadLittleEndian(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

Md5::Md5() : state_{0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476}, buffer_{} {}

void Md5::transform(const std::uint8_t* block) {
  std::uint32_t x[16];
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
  std::memcpy(x, block, sizeof x);
#else
  for (int i = 0; i < 16; ++i) x[i] = LoadLittleEndian(block + 4 * i);
#endif
  std::uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];

  MD5_STEP(F, a, b, c, d, x[0], 0xd76aa478, 7);
  MD5_STEP(F, d, a, b, c, x[1], 0xe8c7b756, 12);
  MD5_STEP(F, c, d, a, b, x[2], 0x242070db, 17);
  MD5_STEP(F, b, c, d, a, x[3], 0xc1bdceee, 22);
  MD5_STEP(F, a, b, c, d, x[4], 0xf57c0faf, 7);
  MD5_STEP(F, d, a, b, c, x[5], 0x4787c62a, 12);
  MD5_STEP(F, c, d, a, b, x[6], 0xa8304613, 17);
  MD5_STEP(F, b, c, d, a, x[7], 0xfd469501, 22);
  MD5_STEP(F, a, b, c, d, x[8], 0x698098d8, 7);
  MD5_STEP(F, d, a, b, c, x[9], 0x8b44f7af, 12);
  MD5_STEP(F, c, d, a, b, x[10], 0xffff5bb1, 17);
  MD5_STEP(F, b, c, d, a, x[11], 0x895cd7be, 22);
  MD5_STEP(F, a, b, c, d, x[12], 0x6b901122, 7);
  MD5_STEP(F, d, a, b, c, x[13], 0xfd987193, 12);
  MD5_STEP(F, c, d, a, b, x[14], 0xa679438e, 17);
  MD5_STEP(F, b, c, d, a, x[15], 0x49b40821, 22);
  MD5_STEP(G, a, b, c, d, x[1], 0xf61e2562, 5);
  MD5_STEP(G, d, a, b, c, x[6], 0xc040b340, 9);
  MD5_STEP(G, c, d, a, b, x[11], 0x265e5a51, 14);
  MD5_STEP(G, b, c, d, a, x[0], 0xe9b6c7aa, 20);
  MD5_STEP(G, a, b, c, d, x[5], 0xd62f105d, 5);
  MD5_STEP(G, d, a, b, c, x[10], 0x02441453, 9);
  MD5_STEP(G, c, d, a, b, x[15], 0xd8a1e681, 14);
  MD5_STEP(G, b, c, d, a, x[4], 0xe7d3fbc8, 20);
  MD5_STEP(G, a, b, c, d, x[9], 0x21e1cde6, 5);
  MD5_STEP(G, d, a, b, c, x[14], 0xc33707d6, 9);
  MD5_STEP(G, c, d, a, b, x[3], 0xf4d50d87, 14);
  MD5_STEP(G, b, c, d, a, x[8], 0x455a14ed, 20);
  MD5_STEP(G, a, b, c, d, x[13], 0xa9e3e905, 5);
  MD5_STEP(G, d, a, b, c, x[2], 0xfcefa3f8, 9);
  MD5_STEP(G, c, d, a, b, x[7], 0x676f02d9, 14);
  MD5_STEP(G, b, c, d, a, x[12], 0x8d2a4c8a, 20);
  MD5_STEP(H, a, b, c, d, x[5], 0xfffa3942, 4);
  MD5_STEP(H, d, a, b, c, x[8], 0x8771f681, 11);
  MD5_STEP(H, c, d, a, b, x[11], 0x6d9d6122, 16);
  MD5_STEP(H, b, c, d, a, x[14], 0xfde5380c, 23);
  MD5_STEP(H, a, b, c, d, x[1], 0xa4beea44, 4);
  MD5_STEP(H, d, a, b, c, x[4], 0x4bdecfa9, 11);
  MD5_STEP(H, c, d, a, b, x[7], 0xf6bb4b60, 16);
  MD5_STEP(H, b, c, d, a, x[10], 0xbebfbc70, 23);
  MD5_STEP(H, a, b, c, d, x[13], 0x289b7ec6, 4);
  MD5_STEP(H, d, a, b, c, x[0], 0xeaa127fa, 11);
  MD5_STEP(H, c, d, a, b, x[3], 0xd4ef3085, 16);
  MD5_STEP(H, b, c, d, a, x[6], 0x04881d05, 23);
  MD5_STEP(H, a, b, c, d, x[9], 0xd9d4d039, 4);
  MD5_STEP(H, d, a, b, c, x[12], 0xe6db99e5, 11);
  MD5_STEP(H, c, d, a, b, x[15], 0x1fa27cf8, 16);
  MD5_STEP(H, b, c, d, a, x[2], 0xc4ac5665, 23);
  MD5_STEP(I, a, b, c, d, x[0], 0xf4292244, 6);
  MD5_STEP(I, d, a, b, c, x[7], 0x432aff97, 10);
  MD5_STEP(I, c, d, a, b, x[14], 0xab9423a7, 15);
  MD5_STEP(I, b, c, d, a, x[5], 0xfc93a039, 21);
  MD5_STEP(I, a, b, c, d, x[12], 0x655b59c3, 6);
  MD5_STEP(I, d, a, b, c, x[3], 0x8f0ccc92, 10);
  MD5_STEP(I, c, d, a, b, x[10], 0xffeff47d, 15);
  MD5_STEP(I, b, c, d, a, x[1], 0x85845dd1, 21);
  MD5_STEP(I, a, b, c, d, x[8], 0x6fa87e4f, 6);
  MD5_STEP(I, d, a, b, c, x[15], 0xfe2ce6e0, 10);
  MD5_STEP(I, c, d, a, b, x[6], 0xa3014314, 15);
  MD5_STEP(I, b, c, d, a, x[13], 0x4e0811a1, 21);
  MD5_STEP(I, a, b, c, d, x[4], 0xf7537e82, 6);
  MD5_STEP(I, d, a, b, c, x[11], 0xbd3af235, 10);
  MD5_STEP(I, c, d, a, b, x[2], 0x2ad7d2bb, 15);
  MD5_STEP(I, b, c, d, a, x[9], 0xeb86d391, 21);

  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

#undef MD5_STEP

void Md5::Update(const void* data, std::size_t length) {
  if (finished_ || length == 0) return;
  auto* bytes = static_cast<const std::uint8_t*>(data);
  std::size_t used = static_cast<std::size_t>((bitCount_ >> 3) & 63);
  bitCount_ += static_cast<std::uint64_t>(length) << 3;
  if (used > 0) {
    const std::size_t take = length < 64 - used ? length : 64 - used;
    std::memcpy(buffer_ + used, bytes, take);
    bytes += take;
    length -= take;
    if (used + take < 64) return;
    transform(buffer_);
  }
  for (; length >= 64; bytes += 64, length -= 64) transform(bytes);
  if (length > 0) std::memcpy(buffer_, bytes, length);
}

void Md5::Finish() {
  if (finished_) return;
  // Pad with 0x80 and zeros up to 56 bytes of the last block, then the
  // length in bits, least significant byte first.
  std::uint8_t tail[72] = {0x80};
  const std::uint64_t bits = bitCount_;
  const std::size_t used = static_cast<std::size_t>((bits >> 3) & 63);
  const std::size_t padding = used < 56 ? 56 - used : 120 - used;
  for (int i = 0; i < 8; ++i) tail[padding + i] = static_cast<std::uint8_t>(bits >> (8 * i));
  Update(tail, padding + 8);
  finished_ = true;
}

std::array<std::uint8_t, 16> Md5::Digest() const {
  std::array<std::uint8_t, 16> digest{};
  if (!finished_) return digest;
  for (int i = 0; i < 16; ++i) digest[i] = static_cast<std::uint8_t>(state_[i / 4] >> (8 * (i % 4)));
  return digest;
}

std::string Md5::HexDigest() const {
  if (!finished_) return std::string();
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(32);
  for (std::uint8_t byte : Digest()) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 15];
  }
  return text;
}

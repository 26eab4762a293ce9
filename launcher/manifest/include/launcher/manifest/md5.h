#pragma once
// MD5 digest of a byte stream, fed in any number of pieces.
//
// The state is the classic one: four chaining words, the message length in
// bits, a partial 64-byte block, and a flag set once the digest is
// finished. A finished state takes no more input; HexDigest of an
// unfinished state is empty, so a half-hashed file can never pass for a
// digest.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class Md5 {
 public:
  Md5();
  void Update(const void* data, std::size_t length);
  void Finish();
  bool Finished() const { return finished_; }
  // 16 bytes in digest order; zeros until finished.
  std::array<std::uint8_t, 16> Digest() const;
  // 32 lower-case hexadecimal digits, or "" when not finished.
  std::string HexDigest() const;

 private:
  void transform(const std::uint8_t* block);

  std::uint32_t state_[4];
  std::uint64_t bitCount_ = 0;
  std::uint8_t buffer_[64];
  bool finished_ = false;
};

// Lower-case hexadecimal digest of a file's bytes, read to its end in
// 8192-byte pieces (so size limits of the file system do not matter), or ""
// when the file cannot be opened or read or is not a regular file (a FIFO
// or a device is never waited on or read).
std::string Md5OfFile(const std::string& path);
// The same for a file already open for reading, from its current position.
std::string Md5OfOpenFile(int fd);

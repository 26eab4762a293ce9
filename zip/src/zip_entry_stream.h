#pragma once
// One entry being read: stored bytes are copied, deflated bytes inflated,
// and every delivered byte goes into the running CRC-32. Delivery stops at
// the declared uncompressed size whatever the stream holds beyond it.

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "zip/zip_reader.h"

class ZipSource;
struct ZipCentralRecord;

class ZipEntryStream {
 public:
  ZipEntryStream() = default;
  ~ZipEntryStream();
  ZipEntryStream(const ZipEntryStream&) = delete;
  ZipEntryStream& operator=(const ZipEntryStream&) = delete;

  ZipResult Open(ZipSource& source, const ZipCentralRecord& record, std::uint64_t dataStart);

  // Fills out with min(length, bytes left) bytes. delivered is what was
  // really written, also on failure. A stream that ends or breaks before
  // the declared size is kZipCorrupt or kZipInflateError; the last byte of
  // an entry whose CRC-32 differs is kZipCorrupt.
  ZipResult Read(void* out, std::size_t length, std::size_t& delivered);

  bool Finished() const { return uncompressedLeft_ == 0; }
  std::uint64_t Remaining() const { return uncompressedLeft_; }

 private:
  ZipResult readStored(unsigned char* out, std::size_t length, std::size_t& delivered);
  ZipResult readDeflated(unsigned char* out, std::size_t length, std::size_t& delivered);
  bool refill();

  ZipSource* source_ = nullptr;
  std::uint16_t method_ = 0;
  std::uint64_t position_ = 0;  // next compressed byte in the source
  std::uint64_t compressedLeft_ = 0;
  std::uint64_t uncompressedLeft_ = 0;
  std::uint32_t expectedCrc_ = 0;
  std::uint32_t crc_ = 0;
  z_stream inflater_{};
  bool inflaterReady_ = false;
  std::vector<unsigned char> input_;
};

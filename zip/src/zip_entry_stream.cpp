#include "zip_entry_stream.h"

#include <algorithm>
#include <climits>

#include "zip_records.h"
#include "zip_source.h"

namespace {
constexpr std::size_t kInputChunk = 16384;
// zlib counts in 32-bit units; larger requests are served in pieces.
constexpr std::size_t kMaxStep = 1u << 30;
}  // namespace

ZipEntryStream::~ZipEntryStream() {
  if (inflaterReady_) inflateEnd(&inflater_);
}

ZipResult ZipEntryStream::Open(ZipSource& source, const ZipCentralRecord& record, std::uint64_t dataStart) {
  source_ = &source;
  method_ = record.method;
  position_ = dataStart;
  compressedLeft_ = record.compressedSize;
  uncompressedLeft_ = record.uncompressedSize;
  expectedCrc_ = record.crc;
  crc_ = crc32_z(0, Z_NULL, 0);
  if (method_ != 8) return kZipOk;
  if (inflateInit2(&inflater_, -MAX_WBITS) != Z_OK) return kZipInflateError;
  inflaterReady_ = true;
  if (!source.Contiguous()) input_.resize(kInputChunk);
  return kZipOk;
}

ZipResult ZipEntryStream::Read(void* out, std::size_t length, std::size_t& delivered) {
  delivered = 0;
  const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(length, uncompressedLeft_));
  auto* bytes = static_cast<unsigned char*>(out);
  ZipResult result = method_ == 8 ? readDeflated(bytes, want, delivered) : readStored(bytes, want, delivered);
  crc_ = crc32_z(crc_, bytes, delivered);
  uncompressedLeft_ -= delivered;
  if (result == kZipOk && uncompressedLeft_ == 0 && crc_ != expectedCrc_) return kZipCorrupt;
  return result;
}

ZipResult ZipEntryStream::readStored(unsigned char* out, std::size_t length, std::size_t& delivered) {
  const auto available = static_cast<std::size_t>(std::min<std::uint64_t>(length, compressedLeft_));
  if (available > 0 && !source_->ReadAt(position_, out, available)) return kZipReadFailed;
  position_ += available;
  compressedLeft_ -= available;
  delivered = available;
  return available == length ? kZipOk : kZipCorrupt;
}

bool ZipEntryStream::refill() {
  if (const unsigned char* memory = source_->Contiguous()) {
    const auto step = static_cast<std::size_t>(std::min<std::uint64_t>(compressedLeft_, UINT_MAX));
    inflater_.next_in = const_cast<unsigned char*>(memory + position_);
    inflater_.avail_in = static_cast<uInt>(step);
    position_ += step;
    compressedLeft_ -= step;
    return true;
  }
  const auto step = static_cast<std::size_t>(std::min<std::uint64_t>(compressedLeft_, input_.size()));
  if (!source_->ReadAt(position_, input_.data(), step)) return false;
  inflater_.next_in = input_.data();
  inflater_.avail_in = static_cast<uInt>(step);
  position_ += step;
  compressedLeft_ -= step;
  return true;
}

ZipResult ZipEntryStream::readDeflated(unsigned char* out, std::size_t length, std::size_t& delivered) {
  while (delivered < length) {
    const std::size_t step = std::min(length - delivered, kMaxStep);
    inflater_.next_out = out + delivered;
    inflater_.avail_out = static_cast<uInt>(step);
    int rc = Z_OK;
    while (inflater_.avail_out > 0) {
      if (inflater_.avail_in == 0 && compressedLeft_ > 0 && !refill()) {
        delivered += step - inflater_.avail_out;
        return kZipReadFailed;
      }
      rc = inflate(&inflater_, Z_NO_FLUSH);
      if (rc != Z_OK) break;
    }
    delivered += step - inflater_.avail_out;
    if (inflater_.avail_out == 0) continue;
    // The stream stopped before the declared size: it ended early, its
    // input ran out (Z_BUF_ERROR), or it is damaged.
    return (rc == Z_STREAM_END || rc == Z_BUF_ERROR) ? kZipCorrupt : kZipInflateError;
  }
  return kZipOk;
}

#pragma once
// Where archive bytes come from: a regular file read by position, or a
// memory block borrowed from the caller. Reads are exact: a short read is a
// failure, so callers never see half-filled records.

#include <cstddef>
#include <cstdint>
#include <string>

class ZipSource {
 public:
  virtual ~ZipSource() = default;
  virtual std::uint64_t Size() const = 0;
  // False when [offset, offset + length) is not entirely inside the source
  // or the read fails.
  virtual bool ReadAt(std::uint64_t offset, void* out, std::size_t length) = 0;
  // The bytes in place when the source is memory, else nullptr; lets the
  // inflater work without a copy.
  virtual const unsigned char* Contiguous() const { return nullptr; }

  bool Contains(std::uint64_t offset, std::uint64_t length) const {
    return offset <= Size() && length <= Size() - offset;
  }
};

class ZipFileSource : public ZipSource {
 public:
  ~ZipFileSource() override;
  // 0 on success, else kZipNoFile or kZipCannotSeek.
  std::uint32_t Open(const std::string& path);
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* out, std::size_t length) override;

 private:
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

class ZipMemorySource : public ZipSource {
 public:
  ZipMemorySource(const void* data, std::size_t length)
      : data_(static_cast<const unsigned char*>(data)), size_(length) {}
  std::uint64_t Size() const override { return size_; }
  bool ReadAt(std::uint64_t offset, void* out, std::size_t length) override;
  const unsigned char* Contiguous() const override { return data_; }

 private:
  const unsigned char* data_;
  std::uint64_t size_;
};

#pragma once
// The digests the download phase checks a package against: MD5 always, and
// SHA-256 when packages are signed. They are taken from the bytes as the
// downloader writes them, on a thread of their own, so the hashing overlaps
// the transfer and no second pass over the file is needed. The digests are
// those of the file: the downloader hands over exactly what it wrote, in
// order, from the first byte.
#include <openssl/types.h>

#include <cstddef>
#include <memory>
#include <string>

#include "launcher/manifest/md5.h"
#include "launcher/package_signature.h"
#include "launcher/serial_worker.h"

enum class PackageHashes { kMd5, kMd5AndSha256 };

class PackageDigest {
 public:
  explicit PackageDigest(PackageHashes hashes);
  PackageDigest(const PackageDigest&) = delete;
  PackageDigest& operator=(const PackageDigest&) = delete;

  // Copies the block and hashes it on the digest's thread.
  void Feed(const char* data, std::size_t size);
  // Waits for the blocks fed so far and finishes both digests.
  void Finish();

  // Lower-case hexadecimal, "" before Finish.
  std::string Md5Hex() const { return md5_.HexDigest(); }
  // False when SHA-256 was not asked for or could not be computed.
  bool HasSha256() const { return sha256Ok_; }
  const Sha256Digest& Sha256() const { return sha256_; }

 private:
  struct ContextFree {
    void operator()(EVP_MD_CTX* context) const;
  };
  void update(const unsigned char* data, std::size_t size);

  Md5 md5_;
  std::unique_ptr<EVP_MD_CTX, ContextFree> sha256Context_;
  bool sha256Ok_ = false;
  Sha256Digest sha256_{};
  // Last member: its thread is stopped before the states above go.
  SerialWorker hasher_;
};

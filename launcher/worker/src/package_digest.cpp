#include "launcher/package_digest.h"

#include <openssl/evp.h>

#include <vector>

namespace {
// Blocks waiting to be hashed, at most: the downloader hands over up to
// 256 KiB at a time, so a few MiB at worst.
constexpr std::size_t kWaitingBlocks = 16;
}  // namespace

void PackageDigest::ContextFree::operator()(EVP_MD_CTX* context) const {
  EVP_MD_CTX_free(context);
}

PackageDigest::PackageDigest(PackageHashes hashes) : hasher_(kWaitingBlocks) {
  if (hashes == PackageHashes::kMd5AndSha256) {
    sha256Context_.reset(EVP_MD_CTX_new());
    sha256Ok_ = sha256Context_ && EVP_DigestInit_ex(sha256Context_.get(), EVP_sha256(), nullptr) == 1;
  }
}

void PackageDigest::Feed(const char* data, std::size_t size) {
  auto block = std::make_shared<std::vector<unsigned char>>(data, data + size);
  hasher_.Post([this, block] { update(block->data(), block->size()); });
}

void PackageDigest::update(const unsigned char* data, std::size_t size) {
  md5_.Update(data, size);
  if (sha256Ok_) sha256Ok_ = EVP_DigestUpdate(sha256Context_.get(), data, size) == 1;
}

void PackageDigest::Finish() {
  hasher_.Drain();
  md5_.Finish();
  unsigned int length = 0;
  if (sha256Ok_) {
    sha256Ok_ =
        EVP_DigestFinal_ex(sha256Context_.get(), sha256_.data(), &length) == 1 && length == sha256_.size();
  }
}

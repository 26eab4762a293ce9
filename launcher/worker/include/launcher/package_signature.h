#pragma once
// Ed25519 signatures of packages.
//
// The signed message is the SHA-256 of the package file (32 bytes), not the
// file itself: Ed25519 signs in one shot, so signing the bytes would mean
// holding a whole package in memory to verify it, while the digest is taken
// block by block as the package arrives and the check afterwards costs
// nothing. The signature is then as strong as SHA-256's collision resistance,
// which is what every signed-download scheme leans on anyway.
#include <openssl/types.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

using Sha256Digest = std::array<unsigned char, 32>;
using PackageSignature = std::array<unsigned char, 64>;

// The reply's "signature" text: the padded base64 of exactly 64 bytes, and
// nothing else (no blanks, no line breaks). Nothing for any other text.
std::optional<PackageSignature> DecodePackageSignature(const std::string& text);

class PackageKey {
 public:
  // keyText: base64 of the DER SubjectPublicKeyInfo of an Ed25519 key (the
  // middle line of "openssl pkey -pubout"). Nothing when it holds no such key.
  static std::optional<PackageKey> Load(const std::string& keyText);

  bool Verifies(const Sha256Digest& digest, const PackageSignature& signature) const;

 private:
  struct KeyFree {
    void operator()(EVP_PKEY* key) const;
  };
  std::shared_ptr<EVP_PKEY> key_;
};

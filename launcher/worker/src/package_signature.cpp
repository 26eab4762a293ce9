#include "launcher/package_signature.h"

#include <openssl/evp.h>
#include <openssl/x509.h>

#include <algorithm>
#include <vector>

namespace {

constexpr std::size_t kSignatureTextLength = 88;  // 64 bytes, base64, "==" at the end

// Base64 letters only, with "=" nowhere but in the last two places: the
// decoder below would take a "=" anywhere.
bool IsPaddedBase64(const std::string& text, std::size_t padding) {
  for (std::size_t i = 0; i < text.size() - padding; ++i) {
    const char c = text[i];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!letter && c != '+' && c != '/') return false;
  }
  return true;
}

// Decodes padded base64 of a known length; EVP_DecodeBlock counts the
// padding as zero bytes, so the expected size is checked before they go.
std::optional<std::vector<unsigned char>> DecodeBase64(const std::string& text, std::size_t expected) {
  if (text.empty() || text.size() % 4 != 0) return std::nullopt;
  std::size_t padding = 0;
  while (padding < 2 && text[text.size() - 1 - padding] == '=') ++padding;
  if (!IsPaddedBase64(text, padding)) return std::nullopt;
  std::vector<unsigned char> bytes(text.size() / 4 * 3);
  const int decoded = EVP_DecodeBlock(bytes.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                      static_cast<int>(text.size()));
  if (decoded < 0 || static_cast<std::size_t>(decoded) != bytes.size() || bytes.size() - padding != expected)
    return std::nullopt;
  bytes.resize(expected);
  return bytes;
}

}  // namespace

std::optional<PackageSignature> DecodePackageSignature(const std::string& text) {
  if (text.size() != kSignatureTextLength) return std::nullopt;
  std::optional<std::vector<unsigned char>> bytes = DecodeBase64(text, PackageSignature().size());
  if (!bytes) return std::nullopt;
  PackageSignature signature{};
  std::copy(bytes->begin(), bytes->end(), signature.begin());
  return signature;
}

void PackageKey::KeyFree::operator()(EVP_PKEY* key) const {
  EVP_PKEY_free(key);
}

std::optional<PackageKey> PackageKey::Load(const std::string& keyText) {
  constexpr std::size_t kSpkiBytes = 44;  // 12-byte algorithm header + 32-byte key
  std::optional<std::vector<unsigned char>> der = DecodeBase64(keyText, kSpkiBytes);
  if (!der) return std::nullopt;
  const unsigned char* cursor = der->data();
  EVP_PKEY* key = d2i_PUBKEY(nullptr, &cursor, static_cast<long>(der->size()));
  if (key == nullptr) return std::nullopt;
  PackageKey result;
  result.key_.reset(key, KeyFree());
  if (EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) return std::nullopt;
  return result;
}

bool PackageKey::Verifies(const Sha256Digest& digest, const PackageSignature& signature) const {
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context) return false;
  // Ed25519 takes no separate digest: the message goes to the one-shot call.
  if (EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key_.get()) != 1) return false;
  return EVP_DigestVerify(context.get(), signature.data(), signature.size(), digest.data(), digest.size()) ==
         1;
}

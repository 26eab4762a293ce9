// Gateway replies are outside data: any body must parse or be refused
// without a crash, and whatever version text and signature come out are
// checked before they are used.
#include <cstddef>
#include <cstdint>
#include <string>

#include "launcher/package_signature.h"
#include "launcher/version_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);
  if (auto reply = ParseVersionReply(body)) {
    IsUsableVersionText(reply->version);
    DecodePackageSignature(reply->signature);
  }
  // Signature texts of the right length are rare in reply bodies: the body
  // itself is tried as one too.
  DecodePackageSignature(body);
  return 0;
}

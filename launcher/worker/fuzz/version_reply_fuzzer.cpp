// Gateway replies are outside data: any body must parse or be refused
// without a crash, and whatever version text comes out is checked before it
// can name a folder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "launcher/version_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string body(reinterpret_cast<const char*>(data), size);
  if (auto reply = ParseVersionReply(body)) IsUsableVersionText(reply->version);
  return 0;
}

// Feeds arbitrary text to the md5.json reader: it must classify it, never
// crash, throw or recurse without bound.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/manifest/manifest_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<ManifestItem> items;
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (ParseManifest(text, items) != ManifestRead::kOk && !items.empty()) __builtin_trap();
  return 0;
}

#pragma once
// Resources linked into the executable at build time (see
// uikit_embed_resource in uikit/CMakeLists.txt), found by type and id the
// way a resource section would be searched.
#include <cstddef>

namespace SkinUI {

struct EmbeddedResource {
  const char* type;
  int id;
  const unsigned char* data;
  std::size_t size;
};

// Called from the generated registration units before main() runs.
void RegisterEmbeddedResource(const char* type, int id, const unsigned char* data, std::size_t size);
const EmbeddedResource* FindEmbeddedResource(const char* type, int id);

}  // namespace SkinUI

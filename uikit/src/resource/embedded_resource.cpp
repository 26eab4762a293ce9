#include "skinui/embedded_resource.h"

#include <cstring>
#include <vector>

namespace SkinUI {
namespace {

// A function-local static: registration runs from other units' static
// initialisers, whose order relative to ours is unspecified.
std::vector<EmbeddedResource>& table() {
  static std::vector<EmbeddedResource> resources;
  return resources;
}

}  // namespace

void RegisterEmbeddedResource(const char* type, int id, const unsigned char* data, std::size_t size) {
  table().push_back({type, id, data, size});
}

const EmbeddedResource* FindEmbeddedResource(const char* type, int id) {
  if (type == nullptr) return nullptr;
  for (const EmbeddedResource& r : table()) {
    if (r.id == id && std::strcmp(r.type, type) == 0) return &r;
  }
  return nullptr;
}

}  // namespace SkinUI

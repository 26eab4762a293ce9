#include <stb/stb_image.h>

#include "skinui/image.h"

namespace SkinUI {
namespace {

struct StbFree {
  void operator()(unsigned char* p) const { stbi_image_free(p); }
};

}  // namespace

std::uint32_t PremultiplyPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a,
                               std::uint32_t mask, bool* transparent) {
  const std::uint32_t rgb = (static_cast<std::uint32_t>(r) << 16) | (static_cast<std::uint32_t>(g) << 8) | b;
  if (mask != kNoMask && rgb == (mask & 0xFFFFFF)) {
    *transparent = true;
    return 0;
  }
  if (a == 255) return 0xFF000000u | rgb;
  *transparent = true;
  const std::uint32_t pr = r * a / 255u;
  const std::uint32_t pg = g * a / 255u;
  const std::uint32_t pb = b * a / 255u;
  return (static_cast<std::uint32_t>(a) << 24) | (pr << 16) | (pg << 8) | pb;
}

std::unique_ptr<TImageInfo> DecodeImage(const unsigned char* data, std::size_t size, std::uint32_t mask) {
  if (data == nullptr || size == 0 || size > 0x7FFFFFFF) return nullptr;
  const int length = static_cast<int>(size);
  int w = 0;
  int h = 0;
  int channels = 0;
  if (!stbi_info_from_memory(data, length, &w, &h, &channels)) return nullptr;
  if (w <= 0 || h <= 0 || w > kMaxImageEdge || h > kMaxImageEdge) return nullptr;
  std::unique_ptr<unsigned char, StbFree> pixels(stbi_load_from_memory(data, length, &w, &h, &channels, 4));
  if (!pixels) return nullptr;

  CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return nullptr;
  cairo_surface_flush(surface.get());
  unsigned char* dst = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  bool transparent = false;
  const unsigned char* src = pixels.get();
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(dst + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < w; ++x, src += 4)
      row[x] = PremultiplyPixel(src[0], src[1], src[2], src[3], mask, &transparent);
  }
  cairo_surface_mark_dirty(surface.get());

  auto info = std::make_unique<TImageInfo>();
  info->bitmap = std::move(surface);
  info->width = w;
  info->height = h;
  info->alphaChannel = transparent;
  return info;
}

}  // namespace SkinUI

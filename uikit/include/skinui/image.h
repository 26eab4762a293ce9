#pragma once
// Decoded skin images: 32-bit premultiplied ARGB (cairo's native layout,
// top-down rows), with a flag telling whether any pixel is not opaque.
#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace SkinUI {

struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

struct CairoDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using CairoPtr = std::unique_ptr<cairo_t, CairoDeleter>;

struct TImageInfo {
  CairoSurfacePtr bitmap;
  int width = 0;
  int height = 0;
  bool alphaChannel = false;
};

// No mask: every colour is kept.
constexpr std::uint32_t kNoMask = 0xFFFFFFFFu;
// Images past this edge length are refused before decoding; a skin never
// needs one and a tiny hostile file could otherwise ask for gigabytes.
constexpr int kMaxImageEdge = 8192;

// Decodes an image file held in memory. `mask` is 0xRRGGBB or kNoMask.
std::unique_ptr<TImageInfo> DecodeImage(const unsigned char* data, std::size_t size, std::uint32_t mask);

// Premultiplies one RGBA pixel into the stored 32-bit value, applying the
// mask colour; sets `transparent` when the pixel is not opaque.
std::uint32_t PremultiplyPixel(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a,
                               std::uint32_t mask, bool* transparent);

}  // namespace SkinUI

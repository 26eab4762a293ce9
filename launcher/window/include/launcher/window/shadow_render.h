#pragma once
// The drop shadow's pixels, computed without any window: the parent's
// outline and the shadow's parameters in, a premultiplied 32-bit bitmap out.
#include <cstdint>
#include <vector>

struct ShadowParams {
  int size = 0;        // how far the shadow reaches beyond the parent on every side
  int sharpness = 5;   // width of the blurred edge
  int darkness = 150;  // opacity of the full shadow, 0..255
  int xOffset = 5;
  int yOffset = 5;
  std::uint32_t colour = 0;  // 0xRRGGBB
};

// One row of an outline: the pixels [start, end) are inside. A row without
// any pixel has start >= end.
struct ShadowSpan {
  int start = 0;
  int end = 0;
  bool Empty() const { return start >= end; }
};

// The outline of a plain rectangular parent: every row [0, width).
std::vector<ShadowSpan> RectangleOutline(int width, int height);

// The shadow bitmap's size for a parent of the given size.
inline int ShadowExtent(int parentExtent, const ShadowParams& p) {
  return parentExtent + 2 * p.size;
}

// Draws the shadow into bits (shadowWidth x shadowHeight pixels, bottom-up
// rows, already cleared). Pixels are alpha << 24 | r << 16 | g << 8 | b with
// the colour premultiplied. outline has one span per parent row.
void RenderShadow(std::uint32_t* bits, int shadowWidth, int shadowHeight,
                  const std::vector<ShadowSpan>& outline, int parentWidth, const ShadowParams& params);

// The premultiplied pixel of the shadow colour at an opacity.
std::uint32_t ShadowPixel(std::uint32_t colour, int alpha);

#include "launcher/window/shadow_render.h"

#include <algorithm>
#include <cmath>

std::vector<ShadowSpan> RectangleOutline(int width, int height) {
  return std::vector<ShadowSpan>(static_cast<std::size_t>(std::max(height, 0)), ShadowSpan{0, width});
}

std::uint32_t ShadowPixel(std::uint32_t colour, int alpha) {
  const auto a = static_cast<std::uint32_t>(std::clamp(alpha, 0, 255));
  const std::uint32_t r = ((colour >> 16) & 0xFF) * a / 255;
  const std::uint32_t g = ((colour >> 8) & 0xFF) * a / 255;
  const std::uint32_t b = (colour & 0xFF) * a / 255;
  return a << 24 | r << 16 | g << 8 | b;
}

namespace {

// The bitmap seen top-down, with every write clipped: a parent outline or
// parameters that reach past the bitmap must never write outside it.
class ShadowCanvas {
 public:
  ShadowCanvas(std::uint32_t* bits, int width, int height) : bits_(bits), width_(width), height_(height) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  void Set(int x, int y, std::uint32_t value) {
    if (std::uint32_t* p = at(x, y)) *p = value;
  }
  void Max(int x, int y, std::uint32_t value) {
    if (std::uint32_t* p = at(x, y); p != nullptr && value > *p) *p = value;
  }
  void Fill(int y, int from, int to, std::uint32_t value) {
    for (int x = std::max(from, 0); x < std::min(to, width_); ++x) Set(x, y, value);
  }

 private:
  std::uint32_t* at(int x, int y) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
    // Rows are stored bottom-up.
    return bits_ + static_cast<std::size_t>(height_ - 1 - y) * static_cast<std::size_t>(width_) + x;
  }
  std::uint32_t* bits_;
  int width_;
  int height_;
};

// The parent's outline placed in a frame one empty row larger on each end,
// then shrunk so the blur starts inside the outline by the part of the
// blurred edge that the shadow's size does not cover.
std::vector<ShadowSpan> WorkingSpans(const std::vector<ShadowSpan>& outline, int parentWidth,
                                     int shadowHeight, const ShadowParams& p) {
  const int parentHeight = static_cast<int>(outline.size());
  const int rows = std::max(parentHeight, shadowHeight) + 2;
  const ShadowSpan empty{parentWidth, 0};
  std::vector<ShadowSpan> spans(static_cast<std::size_t>(rows), empty);
  const int shift = std::max(p.size, 0);
  for (int r = 0; r < parentHeight && 1 + shift + r < rows; ++r)
    spans[static_cast<std::size_t>(1 + shift + r)] = {outline[r].start + shift, outline[r].end + shift};

  for (int pass = 0; pass < p.sharpness - p.size; ++pass) {
    const std::vector<ShadowSpan> before = spans;
    for (int j = 1; j + 1 < rows; ++j) {
      const ShadowSpan& up = before[j - 1];
      const ShadowSpan& here = before[j];
      const ShadowSpan& down = before[j + 1];
      spans[j] = {std::max({up.start, here.start, down.start}) + 1,
                  std::min({up.end, here.end, down.end}) - 1};
    }
  }
  // From here on the spans are indexed by shadow row.
  const int drop = 1 + std::max(-p.size, 0);
  spans.erase(spans.begin(), spans.begin() + std::min(drop, rows));
  return spans;
}

struct Kernel {
  int radius = 0;
  std::vector<std::uint32_t> cells;  // (2 radius + 1)^2, row by row
  std::uint32_t at(int dx, int dy) const {
    return cells[static_cast<std::size_t>((dy + radius) * (2 * radius + 1) + dx + radius)];
  }
};

Kernel MakeKernel(const ShadowParams& p) {
  Kernel k;
  k.radius = std::max(p.size, p.sharpness);
  const int core = p.size > p.sharpness ? p.size - p.sharpness : 0;
  const int side = 2 * k.radius + 1;
  k.cells.assign(static_cast<std::size_t>(side * side), 0);
  for (int dy = -k.radius; dy <= k.radius; ++dy) {
    for (int dx = -k.radius; dx <= k.radius; ++dx) {
      const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
      int alpha = 0;
      if (d < core) {
        alpha = p.darkness;
      } else if (d <= k.radius) {
        alpha = static_cast<int>((1.0 - (d - core) / (p.sharpness + 1)) * p.darkness);
      }
      k.cells[static_cast<std::size_t>((dy + k.radius) * side + dx + k.radius)] =
          alpha > 0 ? ShadowPixel(p.colour, alpha) : 0;
    }
  }
  return k;
}

void LayKernel(ShadowCanvas& canvas, const Kernel& k, int cx, int cy) {
  for (int dy = -k.radius; dy <= k.radius; ++dy)
    for (int dx = -k.radius; dx <= k.radius; ++dx) canvas.Max(cx + dx, cy + dy, k.at(dx, dy));
}

ShadowSpan SpanAt(const std::vector<ShadowSpan>& spans, int row) {
  // Past either end there is no outline: an empty row whose start lies
  // beyond and whose end before every real span.
  if (row < 0 || row >= static_cast<int>(spans.size())) return {1 << 29, -(1 << 29)};
  return spans[static_cast<std::size_t>(row)];
}

// Kernels along both edges of every row: where a row reaches further out
// than its neighbours, every pixel of the overhang gets one.
void BlurBorder(ShadowCanvas& canvas, const std::vector<ShadowSpan>& spans, const Kernel& k) {
  for (int i = k.radius; i <= canvas.Height() - k.radius - 1; ++i) {
    const ShadowSpan row = SpanAt(spans, i);
    if (row.Empty()) continue;
    const ShadowSpan above = SpanAt(spans, i - 1);
    const ShadowSpan below = SpanAt(spans, i + 1);
    const int leftStop = std::min(std::max(above.start, below.start) + 1, row.end);
    for (int x = row.start; x < leftStop; ++x) LayKernel(canvas, k, x, i);
    for (int x = std::max(leftStop, std::min(above.end, below.end) - 1); x < row.end; ++x)
      LayKernel(canvas, k, x, i);
  }
}

// The solid middle, with the parent's own pixels cut out: the shadow never
// shows through the window it belongs to.
void FillAndCut(ShadowCanvas& canvas, const std::vector<ShadowSpan>& spans,
                const std::vector<ShadowSpan>& outline, int radius, const ShadowParams& p) {
  const int parentHeight = static_cast<int>(outline.size());
  const std::uint32_t centre = ShadowPixel(p.colour, p.darkness);
  const int first = std::min(radius, std::max(p.size - p.yOffset, 0));
  const int last = std::max(canvas.Height() - radius,
                            std::min(parentHeight + p.size - p.yOffset, parentHeight + 2 * p.size));
  for (int i = first; i < last; ++i) {
    const ShadowSpan span = SpanAt(spans, i);
    const int r = i - p.size + p.yOffset;
    if (r < 0 || r >= parentHeight) {
      canvas.Fill(i, span.start, span.end, centre);
      continue;
    }
    const int a = outline[r].start + p.size - p.xOffset;
    const int b = outline[r].end + p.size - p.xOffset;
    canvas.Fill(i, span.start, std::min(a, span.end), centre);
    canvas.Fill(i, std::max(a, 0), std::min(b, canvas.Width()), 0);
    canvas.Fill(i, std::max(b, span.start), span.end, centre);
  }
}

}  // namespace

void RenderShadow(std::uint32_t* bits, int shadowWidth, int shadowHeight,
                  const std::vector<ShadowSpan>& outline, int parentWidth, const ShadowParams& params) {
  if (bits == nullptr || shadowWidth <= 0 || shadowHeight <= 0) return;
  ShadowCanvas canvas(bits, shadowWidth, shadowHeight);
  const std::vector<ShadowSpan> spans = WorkingSpans(outline, parentWidth, shadowHeight, params);
  const Kernel kernel = MakeKernel(params);
  BlurBorder(canvas, spans, kernel);
  FillAndCut(canvas, spans, outline, kernel.radius, params);
}

#include "skinui/image_string.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace SkinUI {
namespace {

bool isBlank(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

bool parseBool(const std::wstring& v) {
  return v == L"true";
}

void applyKey(const std::wstring& key, const std::wstring& value, ImageDrawSpec* spec) {
  if (key == L"file" || key == L"res") {
    spec->file = value;
  } else if (key == L"restype") {
    spec->resType = value;
  } else if (key == L"dest") {
    spec->hasDest = ParseRect(value.c_str(), &spec->dest);
  } else if (key == L"source") {
    spec->hasSource = ParseRect(value.c_str(), &spec->source);
  } else if (key == L"corner") {
    ParseRect(value.c_str(), &spec->corner);
  } else if (key == L"mask") {
    spec->mask = ParseColor(value.c_str()) & 0xFFFFFF;
  } else if (key == L"fade") {
    long f = std::wcstol(value.c_str(), nullptr, 10);
    spec->fade = static_cast<std::uint8_t>(std::clamp(f, 0L, 255L));
  } else if (key == L"hole") {
    spec->hole = parseBool(value);
  } else if (key == L"xtiled") {
    spec->xtiled = parseBool(value);
  } else if (key == L"ytiled") {
    spec->ytiled = parseBool(value);
  }
}

}  // namespace

bool ParseRect(const wchar_t* text, RECT* out) {
  if (text == nullptr) return false;
  int v[4] = {0, 0, 0, 0};
  const wchar_t* p = text;
  for (int i = 0; i < 4; ++i) {
    wchar_t* end = nullptr;
    long n = std::wcstol(p, &end, 10);
    if (end == p) return false;
    v[i] = static_cast<int>(std::clamp(n, -1000000L, 1000000L));
    p = end;
    while (*p == L' ') ++p;
    if (i < 3) {
      if (*p != L',') return false;
      ++p;
    }
  }
  *out = RECT{v[0], v[1], v[2], v[3]};
  return true;
}

bool ParseSize(const wchar_t* text, SIZE* out) {
  if (text == nullptr) return false;
  wchar_t* end = nullptr;
  long cx = std::wcstol(text, &end, 10);
  if (end == text) return false;
  while (*end == L' ') ++end;
  if (*end != L',') return false;
  const wchar_t* p = end + 1;
  long cy = std::wcstol(p, &end, 10);
  if (end == p) return false;
  out->cx = static_cast<int>(std::clamp(cx, -1000000L, 1000000L));
  out->cy = static_cast<int>(std::clamp(cy, -1000000L, 1000000L));
  return true;
}

std::uint32_t ParseColor(const wchar_t* text) {
  if (text == nullptr) return 0;
  while (*text == L'#' || *text == L' ') ++text;
  wchar_t* end = nullptr;
  unsigned long v = std::wcstoul(text, &end, 16);
  // Six digits carry no alpha; reading them as fully transparent would make
  // a plainly written colour invisible.
  if (end - text <= 6) v |= 0xFF000000ul;
  return static_cast<std::uint32_t>(v);
}

void ParseImageString(const std::wstring& text, ImageDrawSpec* spec) {
  if (text.find(L'=') == std::wstring::npos || text.find(L'\'') == std::wstring::npos) {
    if (!text.empty()) spec->file = text;
    return;
  }
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && isBlank(text[i])) ++i;
    std::size_t keyStart = i;
    while (i < text.size() && text[i] != L'=' && !isBlank(text[i])) ++i;
    std::wstring key = text.substr(keyStart, i - keyStart);
    while (i < text.size() && isBlank(text[i])) ++i;
    if (i >= text.size() || text[i] != L'=') return;
    ++i;
    while (i < text.size() && isBlank(text[i])) ++i;
    if (i >= text.size() || text[i] != L'\'') return;
    std::size_t close = text.find(L'\'', i + 1);
    if (close == std::wstring::npos) return;
    applyKey(key, text.substr(i + 1, close - i - 1), spec);
    i = close + 1;
  }
}

namespace {

// Paints one cell of the grid: `src` of the image scaled (or tiled) into
// `dst`.
void drawCell(cairo_t* cr, cairo_surface_t* image, const RECT& dst, const RECT& src, double alpha,
              bool xtiled, bool ytiled) {
  if (dst.IsEmpty() || src.IsEmpty()) return;
  cairo_surface_t* cell =
      cairo_surface_create_for_rectangle(image, src.left, src.top, src.Width(), src.Height());
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(cell);
  const double sx = xtiled ? 1.0 : static_cast<double>(src.Width()) / dst.Width();
  const double sy = ytiled ? 1.0 : static_cast<double>(src.Height()) / dst.Height();
  cairo_matrix_t m;
  cairo_matrix_init_scale(&m, sx, sy);
  cairo_matrix_translate(&m, -dst.left, -dst.top);
  cairo_pattern_set_matrix(pattern, &m);
  cairo_pattern_set_extend(pattern, (xtiled || ytiled) ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_PAD);
  cairo_pattern_set_filter(pattern, (sx == 1.0 && sy == 1.0) ? CAIRO_FILTER_NEAREST : CAIRO_FILTER_BILINEAR);
  cairo_save(cr);
  cairo_rectangle(cr, dst.left, dst.top, dst.Width(), dst.Height());
  cairo_clip(cr);
  cairo_set_source(cr, pattern);
  if (alpha >= 1.0) {
    cairo_paint(cr);
  } else {
    cairo_paint_with_alpha(cr, alpha);
  }
  cairo_restore(cr);
  cairo_pattern_destroy(pattern);
  cairo_surface_destroy(cell);
}

}  // namespace

void DrawImageNineGrid(cairo_t* cr, const TImageInfo& image, const RECT& dest, const RECT& clip,
                       const RECT& part, const RECT& corner, std::uint8_t fade, bool hole, bool xtiled,
                       bool ytiled) {
  RECT visible{};
  if (!IntersectRect(&visible, dest, clip)) return;
  RECT src = part;
  src.left = std::clamp(src.left, 0, image.width);
  src.right = std::clamp(src.right, src.left, image.width);
  src.top = std::clamp(src.top, 0, image.height);
  src.bottom = std::clamp(src.bottom, src.top, image.height);
  if (src.IsEmpty()) return;
  // Corners larger than the part or the target would overlap; shrink them.
  const int cl = std::clamp(corner.left, 0, std::min(src.Width(), dest.Width()));
  const int cr_ = std::clamp(corner.right, 0, std::min(src.Width(), dest.Width()) - cl);
  const int ct = std::clamp(corner.top, 0, std::min(src.Height(), dest.Height()));
  const int cb = std::clamp(corner.bottom, 0, std::min(src.Height(), dest.Height()) - ct);
  const double alpha = fade / 255.0;

  cairo_save(cr);
  cairo_rectangle(cr, visible.left, visible.top, visible.Width(), visible.Height());
  cairo_clip(cr);
  const int dx[4] = {dest.left, dest.left + cl, dest.right - cr_, dest.right};
  const int dy[4] = {dest.top, dest.top + ct, dest.bottom - cb, dest.bottom};
  const int sx[4] = {src.left, src.left + cl, src.right - cr_, src.right};
  const int sy[4] = {src.top, src.top + ct, src.bottom - cb, src.bottom};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      if (hole && row == 1 && col == 1) continue;
      const RECT d{dx[col], dy[row], dx[col + 1], dy[row + 1]};
      const RECT s{sx[col], sy[row], sx[col + 1], sy[row + 1]};
      // Corners never tile; edges tile along their length only.
      const bool tx = xtiled && col == 1;
      const bool ty = ytiled && row == 1;
      drawCell(cr, image.bitmap.get(), d, s, alpha, tx, ty);
    }
  }
  cairo_restore(cr);
}

}  // namespace SkinUI

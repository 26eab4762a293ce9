#pragma once
// The image attribute syntax of skins: a bare file name, or blank-separated
// key='value' pairs (file/res, restype, dest, source, corner, mask, fade,
// hole, xtiled, ytiled). Controls may append a second modifier string.
#include <cairo.h>

#include <cstdint>
#include <string>

#include "skinui/image.h"
#include "skinui/win_types.h"

namespace SkinUI {

struct ImageDrawSpec {
  std::wstring file;
  std::wstring resType;
  RECT dest{};
  bool hasDest = false;
  RECT source{};
  bool hasSource = false;
  RECT corner{};
  std::uint32_t mask = kNoMask;
  std::uint8_t fade = 255;
  bool hole = false;
  bool xtiled = false;
  bool ytiled = false;
};

// Applies `text` on top of `spec` (so a modifier overrides the image's own
// keys). Unknown keys are ignored; a malformed pair ends the parse.
void ParseImageString(const std::wstring& text, ImageDrawSpec* spec);

bool ParseRect(const wchar_t* text, RECT* out);
bool ParseSize(const wchar_t* text, SIZE* out);
// "#AARRGGBB", "#RRGGBB" (opaque) or a bare hex number.
std::uint32_t ParseColor(const wchar_t* text);

// Draws `part` of `image` into `dest` as a nine-grid: the `corner` widths
// keep their size, edges stretch one way and the centre both (or tile when
// asked). Everything is clipped to `clip`.
void DrawImageNineGrid(cairo_t* cr, const TImageInfo& image, const RECT& dest, const RECT& clip,
                       const RECT& part, const RECT& corner, std::uint8_t fade, bool hole, bool xtiled,
                       bool ytiled);

}  // namespace SkinUI

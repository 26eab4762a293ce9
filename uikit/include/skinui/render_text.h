#pragma once
// Text painting through Pango, placed in a rectangle by the label family's
// alignment words: single-line text stays on one line (cut with an ellipsis
// when too wide), other text wraps at the rectangle's width.
#include <cairo.h>

#include <cstdint>
#include <string>
#include <vector>

#include "skinui/font.h"
#include "skinui/win_types.h"

namespace SkinUI {

enum TextStyle : UINT {
  DT_LEFT = 0x0,
  DT_TOP = 0x0,
  DT_CENTER = 0x1,
  DT_RIGHT = 0x2,
  DT_VCENTER = 0x4,
  DT_BOTTOM = 0x8,
  DT_SINGLELINE = 0x20,
};

struct TextLink {
  RECT rect;
  std::wstring target;
};

// Splits "showhtml" text into plain text and link ranges. Links are written
// as <a>text</a> or <a href>text</a> (the target defaults to the text);
// other tags are dropped, entities are not interpreted.
struct HtmlText {
  std::wstring plain;
  struct Range {
    std::size_t begin;
    std::size_t end;
    std::wstring target;
  };
  std::vector<Range> links;
};
HtmlText ParseHtmlText(const std::wstring& text);

// Draws `text` into `rc`; with `html` the link ranges are underlined and
// their rectangles returned in `links` (may be null).
void DrawSkinText(cairo_t* cr, const RECT& rc, const std::wstring& text, std::uint32_t argb,
                  const TFontInfo* font, UINT style, bool html, std::vector<TextLink>* links);

// The size of `text` laid out on one line, unclipped: what a rectangle
// needs to show it whole.
SIZE MeasureSkinText(const std::wstring& text, const TFontInfo* font, bool html);

void SetSourceArgb(cairo_t* cr, std::uint32_t argb);

}  // namespace SkinUI

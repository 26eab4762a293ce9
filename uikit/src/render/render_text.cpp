#include "skinui/render_text.h"

#include <pango/pangocairo.h>

#include <memory>

#include "skinui/image.h"
#include "skinui/text_convert.h"

namespace SkinUI {
namespace {

struct GObjectUnref {
  void operator()(void* p) const { g_object_unref(p); }
};
struct AttrListUnref {
  void operator()(PangoAttrList* p) const { pango_attr_list_unref(p); }
};

// Byte offset in the UTF-8 form of the first `chars` characters of `s`.
int utf8Offset(const std::wstring& s, std::size_t chars) {
  return static_cast<int>(WideToUtf8(s.data(), std::min(chars, s.size())).size());
}

std::size_t findTagEnd(const std::wstring& text, std::size_t from) {
  return text.find(L'>', from);
}

using LayoutPtr = std::unique_ptr<PangoLayout, GObjectUnref>;

// The text with its font and underlines; no width yet, so one line per
// paragraph.
LayoutPtr makeLayout(cairo_t* cr, const HtmlText& parsed, const TFontInfo* font) {
  LayoutPtr layout(pango_cairo_create_layout(cr));
  const std::string utf8 = WideToUtf8(parsed.plain);
  pango_layout_set_text(layout.get(), utf8.c_str(), static_cast<int>(utf8.size()));
  if (font != nullptr) pango_layout_set_font_description(layout.get(), font->desc.get());
  std::unique_ptr<PangoAttrList, AttrListUnref> attrs(pango_attr_list_new());
  if (font != nullptr && font->underline)
    pango_attr_list_insert(attrs.get(), pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  for (const HtmlText::Range& r : parsed.links) {
    PangoAttribute* u = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    u->start_index = static_cast<guint>(utf8Offset(parsed.plain, r.begin));
    u->end_index = static_cast<guint>(utf8Offset(parsed.plain, r.end));
    pango_attr_list_insert(attrs.get(), u);
  }
  pango_layout_set_attributes(layout.get(), attrs.get());
  return layout;
}

HtmlText parseText(const std::wstring& text, bool html) {
  if (html) return ParseHtmlText(text);
  HtmlText parsed;
  parsed.plain = text;
  return parsed;
}

}  // namespace

void SetSourceArgb(cairo_t* cr, std::uint32_t argb) {
  cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0,
                        (argb & 0xFF) / 255.0, ((argb >> 24) & 0xFF) / 255.0);
}

HtmlText ParseHtmlText(const std::wstring& text) {
  HtmlText out;
  std::size_t i = 0;
  bool inLink = false;
  HtmlText::Range current{0, 0, L""};
  while (i < text.size()) {
    if (text[i] != L'<') {
      out.plain.push_back(text[i++]);
      continue;
    }
    std::size_t end = findTagEnd(text, i);
    if (end == std::wstring::npos) {
      out.plain.append(text, i, std::wstring::npos);
      break;
    }
    std::wstring tag = text.substr(i + 1, end - i - 1);
    i = end + 1;
    if (!inLink && !tag.empty() && (tag[0] == L'a' || tag[0] == L'A') &&
        (tag.size() == 1 || tag[1] == L' ')) {
      inLink = true;
      current = {out.plain.size(), 0, tag.size() > 2 ? tag.substr(2) : L""};
    } else if (inLink && (tag == L"/a" || tag == L"/A")) {
      inLink = false;
      current.end = out.plain.size();
      if (current.target.empty())
        current.target = out.plain.substr(current.begin, current.end - current.begin);
      out.links.push_back(current);
    }
  }
  if (inLink) {
    current.end = out.plain.size();
    out.links.push_back(current);
  }
  return out;
}

SIZE MeasureSkinText(const std::wstring& text, const TFontInfo* font, bool html) {
  CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
  CairoPtr cr(cairo_create(surface.get()));
  LayoutPtr layout = makeLayout(cr.get(), parseText(text, html), font);
  pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
  SIZE size;
  pango_layout_get_pixel_size(layout.get(), &size.cx, &size.cy);
  return size;
}

void DrawSkinText(cairo_t* cr, const RECT& rc, const std::wstring& text, std::uint32_t argb,
                  const TFontInfo* font, UINT style, bool html, std::vector<TextLink>* links) {
  if (links != nullptr) links->clear();
  if (text.empty() || rc.IsEmpty()) return;
  const HtmlText parsed = parseText(text, html);
  LayoutPtr layout = makeLayout(cr, parsed, font);
  if (style & DT_SINGLELINE) {
    // One line whatever the text holds; what is too wide for the rectangle
    // ends in an ellipsis rather than wrapping onto a line nobody sees.
    pango_layout_set_single_paragraph_mode(layout.get(), TRUE);
    pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
  }
  pango_layout_set_width(layout.get(), rc.Width() * PANGO_SCALE);
  pango_layout_set_alignment(layout.get(), (style & DT_CENTER)  ? PANGO_ALIGN_CENTER
                                           : (style & DT_RIGHT) ? PANGO_ALIGN_RIGHT
                                                                : PANGO_ALIGN_LEFT);

  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout.get(), &width, &height);
  int y = rc.top;
  if (style & DT_BOTTOM) {
    y = rc.bottom - height;
  } else if (style & DT_VCENTER) {
    y = rc.top + (rc.Height() - height) / 2;
  }
  cairo_save(cr);
  cairo_rectangle(cr, rc.left, rc.top, rc.Width(), rc.Height());
  cairo_clip(cr);
  SetSourceArgb(cr, argb);
  cairo_move_to(cr, rc.left, y);
  pango_cairo_show_layout(cr, layout.get());
  cairo_restore(cr);

  if (links == nullptr) return;
  for (const HtmlText::Range& r : parsed.links) {
    PangoRectangle a;
    PangoRectangle b;
    pango_layout_index_to_pos(layout.get(), utf8Offset(parsed.plain, r.begin), &a);
    pango_layout_index_to_pos(layout.get(), utf8Offset(parsed.plain, r.end), &b);
    RECT box{rc.left + a.x / PANGO_SCALE, y + a.y / PANGO_SCALE, rc.left + b.x / PANGO_SCALE,
             y + (a.y + a.height) / PANGO_SCALE};
    if (b.y != a.y) box.right = rc.right;  // a link wrapped onto a new line
    links->push_back({box, r.target});
  }
}

}  // namespace SkinUI

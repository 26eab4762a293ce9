#pragma once
// Skin fonts. Faces named by a skin may not exist on this system (the
// launcher's skin asks for Windows CJK faces), so every face is requested
// with a fallback list and fontconfig picks the nearest installed one.
#include <pango/pango.h>

#include <memory>
#include <string>

namespace SkinUI {

struct PangoFontDescriptionDeleter {
  void operator()(PangoFontDescription* d) const { pango_font_description_free(d); }
};

struct TFontInfo {
  std::unique_ptr<PangoFontDescription, PangoFontDescriptionDeleter> desc;
  std::wstring faceName;
  int size = 0;  // pixels
  bool bold = false;
  bool underline = false;
  bool italic = false;
};

// The face a font starts from when a skin names none.
constexpr const char* kDefaultFontFamily = "sans-serif";
constexpr int kDefaultFontPixels = 12;
// Face names longer than this are cut, as the font record only holds so much.
constexpr std::size_t kMaxFaceNameChars = 32;

// The family list handed to Pango for a skin face: the face itself first,
// then the installed CJK face, then the generic family that matches it.
std::string ResolveFontFamilies(const std::wstring& face);

// Starts the font system (fontconfig's configuration and caches, the match
// for the installed CJK face) on a background thread, so the first painted
// text does not pay for it. Call early at start-up; calling again does
// nothing. The thread is joined at process exit.
void PrewarmFonts();

std::unique_ptr<TFontInfo> CreateSkinFont(const std::wstring& face, int pixels, bool bold, bool underline,
                                          bool italic);

}  // namespace SkinUI

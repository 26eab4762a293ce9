#include "skinui/font.h"

#include <fontconfig/fontconfig.h>

#include <mutex>
#include <thread>

#include "skinui/text_convert.h"

namespace SkinUI {
namespace {

// Windows CJK faces that skins written on that platform ask for, with the
// generic family each stands closest to. The one CJK face we install
// (WenQuanYi Micro Hei) is a sans face; it covers both.
struct FaceHint {
  const wchar_t* face;
  const char* generic;
};
const FaceHint kFaceHints[] = {
    {L"宋体", "serif"},      {L"SimSun", "serif"},        {L"新宋体", "serif"},
    {L"雅黑", "sans-serif"}, {L"微软雅黑", "sans-serif"}, {L"Microsoft YaHei", "sans-serif"},
    {L"黑体", "sans-serif"}, {L"SimHei", "sans-serif"},
};
constexpr const char* kInstalledCjkFace = "WenQuanYi Micro Hei";

}  // namespace

namespace {

class FontPrewarm {
 public:
  ~FontPrewarm() {
    if (m_thread.joinable()) m_thread.join();
  }
  void Start() {
    std::call_once(m_once, [this] { m_thread = std::thread(&FontPrewarm::run); });
  }

 private:
  static void run() {
    if (!FcInit()) return;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(kInstalledCjkFace));
    if (pattern == nullptr) return;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcFontSet* set = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result)) FcFontSetDestroy(set);
    FcPatternDestroy(pattern);
  }

  std::once_flag m_once;
  std::thread m_thread;
};

}  // namespace

void PrewarmFonts() {
  static FontPrewarm prewarm;
  prewarm.Start();
}

std::string ResolveFontFamilies(const std::wstring& face) {
  if (face.empty()) return kDefaultFontFamily;
  std::string families = WideToUtf8(face);
  const char* generic = kDefaultFontFamily;
  for (const FaceHint& hint : kFaceHints) {
    if (EqualsNoCase(face, std::wstring(hint.face))) generic = hint.generic;
  }
  // Pango reads commas as separators, so a face name must not carry one.
  for (char& c : families) {
    if (c == ',') c = ' ';
  }
  families += ",";
  families += kInstalledCjkFace;
  families += ",";
  families += generic;
  return families;
}

std::unique_ptr<TFontInfo> CreateSkinFont(const std::wstring& face, int pixels, bool bold, bool underline,
                                          bool italic) {
  auto font = std::make_unique<TFontInfo>();
  font->faceName = face.substr(0, kMaxFaceNameChars);
  font->size = pixels > 0 ? pixels : kDefaultFontPixels;
  font->bold = bold;
  font->underline = underline;
  font->italic = italic;
  font->desc.reset(pango_font_description_new());
  pango_font_description_set_family(font->desc.get(), ResolveFontFamilies(font->faceName).c_str());
  pango_font_description_set_absolute_size(font->desc.get(), font->size * PANGO_SCALE);
  pango_font_description_set_weight(font->desc.get(), bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(font->desc.get(), italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  return font;
}

}  // namespace SkinUI

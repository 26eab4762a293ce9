// Feeds arbitrary bytes to the skin reader in all three encodings and walks
// whatever it accepted, attributes included, through the attribute parsers.
#include <cstddef>
#include <cstdint>

#include "skinui/image_string.h"
#include "skinui/skin_markup.h"
#include "skinui/text_convert.h"

namespace {

void walk(SkinUI::CSkinMarkupNode node, int depth) {
  for (; node.IsBound() && depth < 300; node = node.NextSibling()) {
    (void)node.ElementName();
    (void)node.Value();
    const int count = node.AttributeCount();
    for (int i = 0; i <= count; ++i) {
      (void)node.AttributeNameAt(i);
      // Attribute values are the other outside text the toolkit parses.
      const wchar_t* value = node.AttributeValueAt(i);
      SkinUI::ImageDrawSpec spec;
      SkinUI::ParseImageString(value, &spec);
      SkinUI::RECT rc;
      SkinUI::ParseRect(value, &rc);
      (void)SkinUI::ParseColor(value);
      (void)SkinUI::WideToUtf8(std::wstring(value));
    }
    wchar_t buf[8];
    node.CopyAttributeValue(L"name", buf, 8);
    walk(node.FirstChild(), depth + 1);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the encoding and the whitespace mode.
  const auto encoding = static_cast<SkinUI::SkinEncoding>(data[0] % 3);
  SkinUI::CSkinMarkup markup;
  markup.SetPreserveWhitespace((data[0] & 4) == 0);
  if (markup.LoadFromBytes(data + 1, size - 1, encoding)) walk(markup.RootNode(), 0);
  (void)markup.GetLastErrorMessage();
  (void)markup.GetLastErrorLocation();
  return 0;
}

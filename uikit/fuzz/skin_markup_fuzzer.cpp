// Feeds arbitrary bytes to the skin reader in all three encodings and walks
// whatever it accepted, attributes included.
#include <cstddef>
#include <cstdint>

#include "skinui/skin_markup.h"

namespace {

void walk(SkinUI::CSkinMarkupNode node, int depth) {
  for (; node.IsBound() && depth < 300; node = node.NextSibling()) {
    (void)node.ElementName();
    (void)node.Value();
    const int count = node.AttributeCount();
    for (int i = 0; i <= count; ++i) {
      (void)node.AttributeNameAt(i);
      (void)node.AttributeValueAt(i);
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

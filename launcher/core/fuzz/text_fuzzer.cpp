// Feeds arbitrary bytes through the text conversions and the narrow string
// tools. The conversions must never fail, must produce only real code
// points, and a second round trip must change nothing.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "launcher/string_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::wstring wide = Utf8ToWide(bytes);
  for (wchar_t c : wide) {
    auto v = static_cast<uint32_t>(c);
    if ((v >= 0xD800 && v <= 0xDFFF) || v > 0x10FFFF) __builtin_trap();
  }
  std::string utf8 = WideToUtf8(wide);
  if (Utf8ToWide(utf8) != wide) __builtin_trap();
  if (WideToUtf8(Utf8ToWide(utf8)) != utf8) __builtin_trap();

  if (size == 0) return 0;
  // The first byte chooses a separator length, the rest is the text.
  std::size_t separatorLength = data[0] % 4;
  std::string text = bytes.substr(1);
  std::string separator = text.substr(0, separatorLength);
  std::vector<std::string> pieces;
  SplitString(text, separator, pieces);
  for (const std::string& piece : pieces) {
    if (piece.empty() || piece.size() > text.size()) __builtin_trap();
  }
  std::string replaced = ReplaceChar(text, separator, "\\\\");
  if (replaced.size() < text.size()) __builtin_trap();
  return 0;
}

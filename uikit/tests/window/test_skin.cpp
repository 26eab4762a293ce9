#include "test_skin.h"

#include "skinui/text_convert.h"

namespace SkinUI::test {

std::wstring TestSkinFolder() {
  return Utf8ToWide(std::string(UIKIT_TEST_SKIN_DIR) + "/skin");
}
std::string TestSkinZipPath() {
  return std::string(UIKIT_TEST_SKIN_DIR) + "/skin.zip";
}

}  // namespace SkinUI::test

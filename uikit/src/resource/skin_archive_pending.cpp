// Archive sources wait for the launcher's zip reader; until it is linked in,
// opening an archive fails cleanly and skins load from folders only.
#include "skinui/skin_archive.h"

namespace SkinUI {

std::unique_ptr<ISkinArchive> OpenSkinArchiveFromMemory(const unsigned char*, std::size_t) { return nullptr; }
std::unique_ptr<ISkinArchive> OpenSkinArchiveFromFile(const std::string&) { return nullptr; }

}  // namespace SkinUI

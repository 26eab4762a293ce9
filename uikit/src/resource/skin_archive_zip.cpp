// Skin archives read through the launcher's zip reader.
#include <zip/zip_reader.h>

#include "skinui/skin_archive.h"

namespace SkinUI {
namespace {

class ZipSkinArchive : public ISkinArchive {
 public:
  bool OpenMemory(const unsigned char* data, std::size_t size) {
    return m_reader.OpenMemory(data, size) == kZipOk;
  }
  bool OpenFile(const std::string& path) { return m_reader.OpenFile(path) == kZipOk; }

  ReadStatus ReadEntry(const std::string& name, std::size_t limit, std::vector<unsigned char>* out) override {
    out->clear();
    ZipEntry entry;
    if (m_reader.FindEntry(name, ZipNameCase::kIgnore, entry) != kZipOk) return ReadStatus::NotFound;
    // Checked against the declared size before reading anything.
    if (entry.uncompressedSize > limit) return ReadStatus::TooLarge;
    if (entry.uncompressedSize == 0) return ReadStatus::Ok;
    const ZipResult r = m_reader.ReadEntry(entry.index, *out);
    // A read that stops with data left still delivered a whole buffer.
    if (r == kZipOk || r == kZipMore) return ReadStatus::Ok;
    out->clear();
    return ReadStatus::Failed;
  }

 private:
  ZipReader m_reader;
};

}  // namespace

std::unique_ptr<ISkinArchive> OpenSkinArchiveFromMemory(const unsigned char* data, std::size_t size) {
  auto archive = std::make_unique<ZipSkinArchive>();
  if (data == nullptr || size == 0 || !archive->OpenMemory(data, size)) return nullptr;
  return archive;
}

std::unique_ptr<ISkinArchive> OpenSkinArchiveFromFile(const std::string& path) {
  auto archive = std::make_unique<ZipSkinArchive>();
  if (!archive->OpenFile(path)) return nullptr;
  return archive;
}

}  // namespace SkinUI

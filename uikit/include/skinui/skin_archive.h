#pragma once
// A skin archive as the toolkit needs it: find an entry ignoring case and
// read it whole. The zip format itself lives with the launcher's zip reader;
// this interface keeps the toolkit from depending on its shape.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace SkinUI {

class ISkinArchive {
 public:
  enum class ReadStatus { Ok, NotFound, TooLarge, Failed };

  virtual ~ISkinArchive() = default;
  // `limit` caps the entry's declared size before anything is allocated.
  virtual ReadStatus ReadEntry(const std::string& name, std::size_t limit,
                               std::vector<unsigned char>* out) = 0;
};

// Opens an archive held in memory; the bytes must outlive the archive.
std::unique_ptr<ISkinArchive> OpenSkinArchiveFromMemory(const unsigned char* data, std::size_t size);
std::unique_ptr<ISkinArchive> OpenSkinArchiveFromFile(const std::string& path);

}  // namespace SkinUI

// Opens the input as an archive held in memory and reads every entry, in
// whole and in small pieces, the way the skin loader and the unpacker do.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "zip/zip_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ZipReader reader;
  if (reader.OpenMemory(data, size) != kZipOk) return 0;
  const int count = reader.EntryCount() < 64 ? reader.EntryCount() : 64;
  std::vector<unsigned char> whole;
  unsigned char piece[512];
  for (int i = 0; i < count; ++i) {
    ZipEntry entry;
    if (reader.GetEntry(i, entry) != kZipOk) continue;
    reader.FindEntry(entry.name, ZipNameCase::kIgnore, entry);
    reader.ReadEntry(i, whole);
    int calls = 0;
    while (reader.ReadEntry(i, piece, sizeof piece) == kZipMore && ++calls < 256) {
    }
  }
  return 0;
}

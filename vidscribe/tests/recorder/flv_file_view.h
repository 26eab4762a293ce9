// Test helpers: a file's tags as plain values (read with no library code),
// a scratch folder, and small synthetic frames.
#ifndef VIDSCRIBE_TESTS_RECORDER_FLV_FILE_VIEW_H
#define VIDSCRIBE_TESTS_RECORDER_FLV_FILE_VIEW_H

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "amf/amf0_metadata.h"

namespace flvtest {

struct Tag {
  int64_t offset;  // of the TagType byte
  uint8_t type;
  uint32_t time;
  std::vector<uint8_t> body;
};

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t BE(const uint8_t* p, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
  return v;
}

// Every whole tag; *clean is false when a back-pointer is wrong or bytes
// are left over.
inline std::vector<Tag> Tags(const std::vector<uint8_t>& file, bool* clean = nullptr) {
  std::vector<Tag> tags;
  bool ok = file.size() >= 13;
  size_t at = 13;
  while (ok && at + 11 <= file.size()) {
    const uint32_t size = BE(&file[at + 1], 3);
    if (at + 11 + size + 4 > file.size()) {
      ok = false;
      break;
    }
    Tag tag{static_cast<int64_t>(at), file[at], BE(&file[at + 4], 3) | (uint32_t{file[at + 7]} << 24),
            std::vector<uint8_t>(file.begin() + static_cast<long>(at + 11),
                                 file.begin() + static_cast<long>(at + 11 + size))};
    if (BE(&file[at + 11 + size], 4) != size + 11) ok = false;
    tags.push_back(std::move(tag));
    at += 11 + size + 4;
  }
  if (at != file.size()) ok = false;
  if (clean != nullptr) *clean = ok;
  return tags;
}

inline bool DecodeMeta(const Tag& tag, Flash::MetaDataBody& meta) {
  return tag.type == 18 && Flash::DecodeMetaData(tag.body.data(), tag.body.size(), meta);
}

// (time ms, file position) pairs of the "keyframes" object, empty without.
inline std::vector<std::pair<double, double>> IndexOf(const std::vector<uint8_t>& file) {
  std::vector<std::pair<double, double>> index;
  const std::vector<Tag> tags = Tags(file);
  Flash::MetaDataBody meta;
  if (tags.empty() || !DecodeMeta(tags[0], meta)) return index;
  Flash::AS_Variable* keyframes = meta.entries.FindMember("keyframes");
  if (keyframes == nullptr || keyframes->Value() == nullptr) return index;
  Flash::AS_Variable* times = keyframes->Value()->FindMember("times");
  Flash::AS_Variable* positions = keyframes->Value()->FindMember("filepositions");
  if (times == nullptr || positions == nullptr) return index;
  for (size_t i = 0; i < times->Value()->children.size() && i < positions->Value()->children.size(); ++i)
    index.emplace_back(times->Value()->children[i]->AsNumber() * 1000,
                       positions->Value()->children[i]->AsNumber());
  return index;
}

inline double MetaNumber(const std::vector<uint8_t>& file, const char* name) {
  const std::vector<Tag> tags = Tags(file);
  Flash::MetaDataBody meta;
  if (tags.empty() || !DecodeMeta(tags[0], meta)) return -12345;
  Flash::AS_Variable* member = meta.entries.FindMember(name);
  return member == nullptr ? -12345 : member->AsNumber();
}

// A fresh folder removed with everything in it when the test ends.
class ScratchDir {
 public:
  ScratchDir() {
    char name[] = "/tmp/vidscribe_flv_XXXXXX";
    path = mkdtemp(name) != nullptr ? name : "/tmp";
  }
  ~ScratchDir() { std::system(("rm -rf '" + path + "'").c_str()); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
  std::string path;
};

// Start-code framed units.
inline std::vector<uint8_t> AnnexB(const std::vector<std::vector<uint8_t>>& units, bool longCodes = true) {
  std::vector<uint8_t> out;
  for (const auto& unit : units) {
    if (longCodes) out.push_back(0);
    out.insert(out.end(), {0, 0, 1});
    out.insert(out.end(), unit.begin(), unit.end());
  }
  return out;
}

inline const std::vector<uint8_t> kSps = {0x67, 0x42, 0xC0, 0x1E, 0xD9, 0x00, 0xA0, 0x47, 0xFE, 0xC8};
inline const std::vector<uint8_t> kPps = {0x68, 0xCE, 0x3C, 0x80};
inline const std::vector<uint8_t> kIdr = {0x65, 0x88, 0x84, 0x00, 0x33, 0xFF};
inline const std::vector<uint8_t> kSlice = {0x41, 0x9A, 0x02, 0x04};

}  // namespace flvtest

#endif  // VIDSCRIBE_TESTS_RECORDER_FLV_FILE_VIEW_H

#pragma once
// Reading md5.json: a JSON array of objects with a "file" path (backslash
// between folder names) and an "md5" digest. Other members are ignored.

#include <string>
#include <vector>

struct ManifestItem {
  // False when "file" or "md5" is missing or not a string; such an element
  // can be neither checked nor failed.
  bool usable = false;
  std::string file;
  std::string md5;
};

enum class ManifestRead {
  kOk,          // an array (possibly empty); items holds one per element
  kUnparsable,  // not JSON (an empty file included)
  kNotAList,    // JSON whose root is not an array
};

ManifestRead ParseManifest(const std::string& text, std::vector<ManifestItem>& items);

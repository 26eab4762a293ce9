#include "launcher/manifest/manifest_reader.h"

#include <json/json.h>

#include <exception>
#include <memory>

ManifestRead ParseManifest(const std::string& text, std::vector<ManifestItem>& items) {
  items.clear();
  Json::Value root;
  try {
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) {
      return ManifestRead::kUnparsable;
    }
  } catch (const std::exception&) {
    // The parser throws on nesting past its depth limit.
    return ManifestRead::kUnparsable;
  }
  if (!root.isArray()) return ManifestRead::kNotAList;
  items.reserve(root.size());
  for (const Json::Value& element : root) {
    ManifestItem item;
    if (element.isObject()) {
      const Json::Value& file = element["file"];
      const Json::Value& md5 = element["md5"];
      if (file.isString() && md5.isString()) {
        item.usable = true;
        item.file = file.asString();
        item.md5 = md5.asString();
      }
    }
    items.push_back(std::move(item));
  }
  return ManifestRead::kOk;
}

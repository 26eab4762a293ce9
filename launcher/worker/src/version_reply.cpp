#include "launcher/version_reply.h"

#include <json/json.h>

#include <strings.h>
#include <algorithm>
#include <memory>

#include "launcher/data_folder.h"
#include "launcher/string_util.h"

namespace {

// Replies are small; anything deeper than this is not a version reply.
constexpr int kMaxJsonDepth = 32;

std::optional<std::string> TextMember(const Json::Value& root, const char* name) {
  const Json::Value& member = root[name];
  if (member.isNull()) return std::string();
  if (!member.isString()) return std::nullopt;
  return member.asString();
}

void AddUrl(std::vector<std::string>& urls, const Json::Value& value) {
  if (!value.isString()) return;
  std::string url = value.asString();
  if (std::find(urls.begin(), urls.end(), url) == urls.end()) urls.push_back(std::move(url));
}

}  // namespace

std::optional<VersionReply> ParseVersionReply(const std::string& body) {
  Json::CharReaderBuilder builder;
  builder["stackLimit"] = kMaxJsonDepth;
  builder["rejectDupKeys"] = false;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  Json::Value root;
  std::string errors;
  try {
    if (!reader->parse(body.data(), body.data() + body.size(), &root, &errors)) return std::nullopt;
  } catch (const std::exception&) {
    // The reader throws instead of failing when nesting passes the limit.
    return std::nullopt;
  }
  if (!root.isObject()) return std::nullopt;

  std::optional<std::string> version = TextMember(root, "version");
  std::optional<std::string> md5 = TextMember(root, "md5");
  if (!version || !md5) return std::nullopt;

  VersionReply reply{*version, *md5, {}, {}};
  if (root["signature"].isString()) reply.signature = root["signature"].asString();
  AddUrl(reply.urls, root["url"]);
  const Json::Value& more = root["urls"];
  if (more.isArray()) {
    for (const Json::Value& url : more) AddUrl(reply.urls, url);
  }
  return reply;
}

bool IsUsableVersionText(const std::string& version) {
  if (version.size() > 128) return false;
  for (unsigned char c : version) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  // bin/Temp holds the packages; a version of that name would delete them.
  if (strcasecmp(version.c_str(), "Temp") == 0) return false;
  return IsPlainName(Utf8ToWide(version));
}

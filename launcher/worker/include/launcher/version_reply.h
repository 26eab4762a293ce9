#pragma once
// The gateway's answer to the version query.
#include <optional>
#include <string>
#include <vector>

struct VersionReply {
  std::string version;            // names the version folder and package; empty = no usable reply
  std::string md5;                // expected package digest; empty = not checked
  std::vector<std::string> urls;  // "url" first, then "urls", without duplicates
  // Base64 Ed25519 signature of the package (see package_signature.h); read
  // only when it is a string, else empty, so builds that do not check
  // signatures take replies exactly as before.
  std::string signature;
};

// Reads a reply body. Nothing when the body is not JSON, its root is not an
// object, or "version" or "md5" has a type other than string or null: such
// a reply is treated like one that did not parse, so the next query is
// tried. URL entries that are not strings are skipped.
std::optional<VersionReply> ParseVersionReply(const std::string& body);

// A version text may name a folder: a plain name (no separators, not "." or
// ".."), no control characters, not the package folder's name, and short.
bool IsUsableVersionText(const std::string& version);

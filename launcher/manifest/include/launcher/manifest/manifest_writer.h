#pragma once
// Making md5.json for a version folder: collecting one element per listed
// file and formatting the array the way the launcher's manifests look
// (styled, tab indentation, CR LF line ends, "file" before "md5").

#include <json/value.h>

#include <set>
#include <string>

using ManifestExtensions = std::set<std::string>;

// "dll" and "exe" as the Windows packages had, and "so" so that a Linux
// package's libraries are covered too. Compared case-sensitively.
ManifestExtensions DefaultManifestExtensions();

// Adds an element {"file": prefix + name, "md5": digest} to array for each
// file below root/prefix whose extension is in extensions (every file when
// extensions is empty), recursing into sub-folders at the place they are
// met, names in byte order. Names beginning with "." are skipped, folders
// included. prefix uses backslashes between folder names, as "file" does;
// "" means root itself. Returns the number of elements added.
int CollectManifestEntries(const std::string& root, const std::string& prefix, Json::Value& array,
                           const ManifestExtensions& extensions);

// The array as the bytes of an md5.json file.
std::string FormatManifest(const Json::Value& array);

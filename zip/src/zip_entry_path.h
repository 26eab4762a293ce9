#pragma once
// Turns an entry name into path components below the extraction root, or
// refuses it. Both "/" and "\" separate folders (packages made on Windows
// use either). A name is refused when it would climb out of the root (a
// ".." component, a leading separator, a drive letter), holds a NUL, or has
// a component too long for a file name here.

#include <string>
#include <vector>

struct ZipEntryPath {
  std::vector<std::string> components;  // empty and "." components dropped
  bool endsWithSeparator = false;       // "a/b/" names a folder
};

// nullptr on success, else a short reason for the log.
const char* SplitEntryPath(const std::string& name, ZipEntryPath& path);

#pragma once
// Checks a version folder before the shell is started from it: the folder,
// the shell executable in it, and every file md5.json lists with its digest.

#include <functional>
#include <string>

#include "launcher/manifest/md5.h"

enum CheckResult {
  CROk = 0,           // usable; also when md5.json is missing or unreadable
  CRNoDir = 1,        // the version folder is missing or not a folder
  CRNoExe = 2,        // <shell name>.exe is missing from it
  CRMd5Dismatch = 4,  // a listed file is missing, unreadable or differs
};

// The digest of a listed file, opened for reading (without following links)
// by the check, as Md5OfOpenFile gives it: "" when it cannot be read or is
// not a regular file. Callers that already hashed some files hand in their
// own.
using FileDigester = std::function<std::string(int fd)>;

// versionFolder has no trailing separator; shellName is the executable's
// base name without ".exe". Stops at the first mismatch. Never fails as such:
// every problem is one of the codes, logged once.
int CheckInstalledFiles(const std::wstring& versionFolder, const std::wstring& shellName,
                        const FileDigester& digestOf = Md5OfOpenFile);

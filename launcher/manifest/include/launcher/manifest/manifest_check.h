#pragma once
// Checks a version folder before the shell is started from it: the folder,
// the shell executable in it, and every file md5.json lists with its digest.

#include <string>

enum CheckResult {
  CROk = 0,           // usable; also when md5.json is missing or unreadable
  CRNoDir = 1,        // the version folder is missing or not a folder
  CRNoExe = 2,        // <shell name>.exe is missing from it
  CRMd5Dismatch = 4,  // a listed file is missing, unreadable or differs
};

// versionFolder has no trailing separator; shellName is the executable's
// base name without ".exe". Stops at the first mismatch. Never fails as such:
// every problem is one of the codes, logged once.
int CheckInstalledFiles(const std::wstring& versionFolder, const std::wstring& shellName);

#pragma once
// Maintenance actions behind debug controls of a skin: writing a folder's
// md5.json and showing the digest of a file. Both ask with the host's modal
// chooser and do nothing when it is cancelled or no display is open.
#include <optional>
#include <string>

// Writes md5.json into a folder the user picks. The process's working
// folder stays as it was: every path here is explicit.
void GenerateManifest();
// The digest of a file the user picks ("" when it cannot be read), or
// nothing when cancelled.
std::optional<std::wstring> ShowFileMd5();

// The non-interactive halves, for callers that already have the path.
// False when md5.json cannot be opened for writing.
bool WriteFolderManifest(const std::string& folder);
std::wstring FileMd5Text(const std::string& path);

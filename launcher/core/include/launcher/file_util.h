#pragma once
// Folder helpers. "/" is the separator on disk; a backslash in a path given
// here is taken as a separator too, so paths built the Windows way still
// work. Paths with a ".." component are refused by the helpers that create
// or delete, so a name from outside data cannot reach out of its folder.
#include <string>

// Creates the missing folders above the file a narrow path names (every
// component but the last). Always true: the open that follows reports the
// real problem.
bool CreateParentDirectories(const std::string& path);

// True when path names an existing file or folder. When the last component
// holds "*" or "?", true when at least one entry of its folder matches.
bool PathExists(const std::wstring& path);

// Creates an absolute folder path with all missing parents. True when the
// folder exists afterwards because of this call or was there already; false
// for relative paths, a file in the way, or a folder that could not be made.
bool CreateDirectoryTree(const std::wstring& path);

// Deletes a folder with everything in it, except entries whose names begin
// with "." (they are left in place, and then so is their folder). Symbolic
// links are removed, never followed. True when the folder is gone; a folder
// that does not exist counts as deleted.
bool DeleteDirectoryTree(const std::wstring& path);

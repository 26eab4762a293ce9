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
// that does not exist counts as deleted, while a file or link in its place
// is left alone and gives false.
bool DeleteDirectoryTree(const std::wstring& path);

// Deletes a folder so that no kill can leave it half deleted under its own
// name: it is first renamed, in one step, to a name beginning with
// ".deleting-" beside it, and only then emptied and removed, dot-named
// entries included. A file or link in its place goes the same way, never
// followed. True when nothing is left under the name (a missing folder
// included); what the rename moved aside and could not be deleted is
// cleared later (ClearDiscardLeftovers).
bool DiscardDirectoryTree(const std::wstring& path);

// CreateDirectoryTree for a folder that must be a real folder: a link (even
// to a folder) or a file in the last level's place is discarded first. True
// when a real folder is there afterwards.
bool CreateDirectoryTreeNoLink(const std::wstring& path);

#pragma once
// Internal: deleting folder trees through directory descriptors, so that a
// symbolic link swapped in while we work cannot redirect the deletion and
// deep trees do not depend on path length.
#include <functional>
#include <string>

namespace launcher_tree {

// Deletes every entry of the open folder dirFd whose name does not begin
// with "." and for which keep(name) is false; sub-folders are emptied and
// removed, links and files unlinked. True when every such entry went.
bool DeleteEntries(int dirFd, const std::function<bool(const std::string&)>& keep, int depth = 0);

// Opens a folder for DeleteEntries without following a final symbolic link.
// Returns -1 with errno set on failure.
int OpenFolderNoFollow(const std::string& path);

}  // namespace launcher_tree

#pragma once
// Internal: deleting folder trees through directory descriptors, so that a
// symbolic link swapped in while we work cannot redirect the deletion and
// deep trees do not depend on path length.
//
// Discarding is deleting in two steps: the entry is first renamed, in one
// step, to a name beginning with kDiscardPrefix beside it, and only then
// emptied and removed. A kill at any moment therefore leaves the entry whole
// under its own name or not at all, never half deleted where a check would
// take it for complete; what a kill leaves under a discard name is cleared
// later by ClearDiscarded.
#include <functional>
#include <string>

namespace launcher_tree {

// Names reserved for entries being discarded. No version folder may carry
// one (see IsPlainName), so nothing that checks or starts a version ever
// looks at them.
inline constexpr char kDiscardPrefix[] = ".deleting-";

// Entries whose names begin with "." other than "." and "..": left alone
// where a folder may hold items that are not ours, removed where the whole
// tree is ours to delete.
enum class DotNames { kLeave, kDelete };

// Deletes every entry of the open folder dirFd for which keep(name) is false
// (dot-named entries only with DotNames::kDelete); sub-folders are emptied
// and removed, links and files unlinked. True when every such entry went.
bool DeleteEntries(int dirFd, const std::function<bool(const std::string&)>& keep,
                   DotNames dots = DotNames::kLeave, int depth = 0);

// Discards the entry name of the open folder dirFd, whatever it is (a link
// is removed, never followed). True when name is gone, a missing one
// included, even if some of what was renamed could not be deleted yet.
bool DiscardEntry(int dirFd, const std::string& name);

// Discards every entry of dirFd that keep(name) does not keep, dot-named
// entries left alone. True when every such entry went.
bool DiscardEntries(int dirFd, const std::function<bool(const std::string&)>& keep);

// Deletes the discard leftovers in dirFd. True when none is left.
bool ClearDiscarded(int dirFd);

// Opens a folder for DeleteEntries without following a final symbolic link.
// Returns -1 with errno set on failure.
int OpenFolderNoFollow(const std::string& path);

}  // namespace launcher_tree

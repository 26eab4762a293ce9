#pragma once
// The per-user client data folder and its layout:
//   <LocalAppData>/tarkel.shell/                 client data folder
//     Config.ini, config.json, userdata          the shell's own items
//     bin/<version>/                             one folder per shell version
//     bin/Temp/<version>.zip                     downloaded packages
// Folder paths carry no trailing slash. Every function gives nothing when
// <LocalAppData> cannot be resolved or a name would leave its folder.
#include <optional>
#include <string>

#include "launcher/config.h"

// <LocalAppData> as a wide path.
std::optional<std::wstring> LocalAppDataFolder();

// True for a name that may stand as one path component of its own: not
// empty, not "." or "..", no slash or backslash, short enough for a file
// name, and not beginning with ".deleting-", the names of items being
// deleted (a version text from the gateway is such a name).
bool IsPlainName(const std::wstring& name);

std::optional<std::wstring> ClientDataFolder(const std::wstring& shellName = launcher_config::kShellName);
std::optional<std::wstring> VersionFolder(const std::wstring& version,
                                          const std::wstring& shellName = launcher_config::kShellName);
std::optional<std::wstring> PackageFolder(const std::wstring& shellName = launcher_config::kShellName);
std::optional<std::wstring> PackagePath(const std::wstring& version,
                                        const std::wstring& shellName = launcher_config::kShellName);

// Resets the client data folder: everything in it goes except the shell's
// items "Config.ini", "config.json" and "userdata" (files or folders), which
// stay where they are, and dot-named items at its top. Each item is renamed
// aside before it is deleted (see DiscardDirectoryTree), so a kill leaves it
// whole or gone. Creates the folder when it is missing. Reports nothing;
// whatever cannot be removed is skipped.
void FixDirApp(const std::wstring& shellName);

// Deletes what a run killed while deleting left under ".deleting-" names in
// the client data folder and its bin folder.
void ClearDiscardLeftovers(const std::wstring& shellName = launcher_config::kShellName);

#pragma once
// The launcher's fixed configuration. Nothing here is read at run time; the
// gateway bases come from the build (CMake cache variables) so that test and
// demo builds can point them at local servers.

namespace launcher_config {

// Base name of the shell executable, its data folder, mutex and window title.
inline constexpr wchar_t kShellName[] = L"tarkel.shell";
// Value of --CliMode and suffix of the started event.
inline constexpr wchar_t kRunMode[] = L"teacher";
// Launcher mutex name and launcher window title.
inline constexpr wchar_t kInstanceName[] = L"launch.teacher";
// Appended directly to a gateway base.
inline constexpr char kVersionQueryPath[] = "/public/versions/shell/teacher";
inline constexpr wchar_t kBuildLanguage[] = L"EN";
inline constexpr wchar_t kSkinFolder[] = L"skin";
// How long LaunchClient waits for the shell's started event.
inline constexpr unsigned kLaunchWaitMs = LAUNCHER_LAUNCH_WAIT_MS;

}  // namespace launcher_config

// Scheme plus host, no trailing slash: primary first, then the fallback.
inline constexpr const char* GatewayBaseUrls[2] = {LAUNCHER_GATEWAY_PRIMARY, LAUNCHER_GATEWAY_FALLBACK};
inline constexpr int kGatewayBaseCount = 2;

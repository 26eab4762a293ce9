#pragma once
// The launcher's fixed configuration. Nothing here is read at run time.

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

}  // namespace launcher_config

// The values below come from the build (see launcher/core/CMakeLists.txt,
// add_launcher_build_config) so that test and demo builds can point the
// launcher at local servers and shorten its waits. They are defined in a
// small library of their own that each launcher executable picks.

// Scheme plus host, no trailing slash: primary first, then the fallback.
inline constexpr int kGatewayBaseCount = 2;
extern const char* const GatewayBaseUrls[kGatewayBaseCount];
// How long LaunchClient waits for the shell's started event, ms.
extern const unsigned kLaunchWaitMs;
// The gateway's pinned public keys in libcurl's "sha256//<base64>;..." form;
// "" = replies are not authenticated.
extern const char* const kGatewayPins;
// The Ed25519 package signing key, base64 SubjectPublicKeyInfo; "" =
// packages are checked by MD5 only.
extern const char* const kPackagePublicKey;

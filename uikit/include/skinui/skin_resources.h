#pragma once
// Process-wide skin resources: the folder skins are read from and the skin
// archive, once one is registered. Both are used only on the UI thread.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "skinui/skin_archive.h"

namespace SkinUI {

enum class SkinReadStatus {
  Ok,
  OpenFailed,
  Empty,
  TooLarge,
  ReadFailed,
  ZipOpenFailed,
  ZipEntryMissing,
  ZipReadFailed
};

class ResourceStore {
 public:
  static constexpr std::size_t kMaxSkinFileBytes = 4194304;

  // Always ends with "/" once set, so names can be appended directly.
  static void SetResourcePath(const std::wstring& path);
  static const std::wstring& GetResourcePath();

  // Registers an in-memory archive under the name "membuffer". The first
  // registration wins: a second one while "membuffer" is set changes
  // nothing (and reports true, as the archive is in place).
  static bool SetResourceZipMemory(const unsigned char* data, std::size_t size);
  // Opens a zip file below the resource path and keeps it open.
  static bool SetResourceZipFile(const std::wstring& name);
  // Tests and alternative hosts may supply any archive implementation.
  static void SetResourceZipArchive(std::unique_ptr<ISkinArchive> archive, bool isMemBuffer);
  static ISkinArchive* GetResourceZip();
  static bool IsResourceZipMemBuffer();
  static const std::wstring& GetResourceZipName();

  // Forgets path and archive; for tests that need a clean process state.
  static void Reset();
};

// Reads the skin file `name`: from the registered archive when there is one,
// else from the resource folder.
SkinReadStatus ReadSkinFileBytes(const std::wstring& name, std::vector<unsigned char>* out);

// Image lookup: the archive or resource folder, then the name as a path of
// its own. False when no place has it.
bool ReadSkinResourceBytes(const std::wstring& name, std::vector<unsigned char>* out);

// Folder of the running executable, ending with "/".
std::wstring GetModuleFolder();

}  // namespace SkinUI

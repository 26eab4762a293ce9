#include "launcher/window/tool_dialogs.h"

#include <json/value.h>

#include <fstream>

#include "launcher/manifest/manifest_writer.h"
#include "launcher/manifest/md5.h"
#include "launcher/string_util.h"
#include "launcher/text_table.h"
#include "skinui/host.h"

namespace {

std::optional<std::string> Choose(SkinUI::FileChooserAction action, const std::wstring& title,
                                  const std::wstring& filterName) {
  SkinUI::FileChooserParams params;
  params.action = action;
  params.title = title;
  params.filterName = filterName;
  return SkinUI::GetEventLoop().ChooseFile(params);
}

}  // namespace

bool WriteFolderManifest(const std::string& folder) {
  // Opened (and emptied) before collecting, so a folder with nothing to
  // list still ends with an empty md5.json.
  std::ofstream out(folder + "/md5.json", std::ios::binary | std::ios::trunc);
  if (!out) return false;
  Json::Value array(Json::arrayValue);
  if (CollectManifestEntries(folder, "", array, DefaultManifestExtensions()) > 0)
    out << FormatManifest(array);
  return static_cast<bool>(out);
}

std::wstring FileMd5Text(const std::string& path) {
  return Utf8ToWide(Md5OfFile(path));
}

void GenerateManifest() {
  if (std::optional<std::string> folder =
          Choose(SkinUI::FileChooserAction::SelectFolder, LoadText(kTextSelectDir), L"")) {
    WriteFolderManifest(*folder);
  }
}

std::optional<std::wstring> ShowFileMd5() {
  std::optional<std::string> file = Choose(SkinUI::FileChooserAction::OpenFile, L"", LoadText(kTextAllFiles));
  if (!file) return std::nullopt;
  return FileMd5Text(*file);
}

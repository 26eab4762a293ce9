#include "launcher/window/tool_dialogs.h"

#include <gtk/gtk.h>
#include <json/value.h>
#include <unistd.h>

#include <fstream>

#include "launcher/manifest/manifest_writer.h"
#include "launcher/manifest/md5.h"
#include "launcher/string_util.h"
#include "launcher/text_table.h"

namespace {

// Runs a modal chooser; the chosen path, or nothing.
std::optional<std::string> Choose(GtkFileChooserAction action, const std::wstring& title, const std::wstring& filter) {
  if (gdk_display_get_default() == nullptr) return std::nullopt;
  GtkWidget* dialog = gtk_file_chooser_dialog_new(WideToUtf8(title).c_str(), nullptr, action, "_Cancel",
                                                  GTK_RESPONSE_CANCEL, "_Open", GTK_RESPONSE_ACCEPT, nullptr);
  if (!filter.empty()) {
    GtkFileFilter* all = gtk_file_filter_new();
    gtk_file_filter_set_name(all, WideToUtf8(filter).c_str());
    gtk_file_filter_add_pattern(all, "*");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(dialog), all);
  }
  std::optional<std::string> chosen;
  if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    if (gchar* name = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(dialog))) {
      chosen = name;
      g_free(name);
    }
  }
  gtk_widget_destroy(dialog);
  return chosen;
}

}  // namespace

bool WriteFolderManifest(const std::string& folder) {
  // Opened (and emptied) before collecting, so a folder with nothing to
  // list still ends with an empty md5.json.
  std::ofstream out(folder + "/md5.json", std::ios::binary | std::ios::trunc);
  if (!out) return false;
  // Entries are named relative to the folder; later relative work starts
  // there too.
  if (::chdir(folder.c_str()) != 0) return false;
  Json::Value array(Json::arrayValue);
  if (CollectManifestEntries(folder, "", array, DefaultManifestExtensions()) > 0) out << FormatManifest(array);
  return static_cast<bool>(out);
}

std::wstring FileMd5Text(const std::string& path) {
  return Utf8ToWide(Md5OfFile(path));
}

void GenerateManifest() {
  if (std::optional<std::string> folder =
          Choose(GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, LoadText(kTextSelectDir), L"")) {
    WriteFolderManifest(*folder);
  }
}

std::optional<std::wstring> ShowFileMd5() {
  std::optional<std::string> file = Choose(GTK_FILE_CHOOSER_ACTION_OPEN, L"", LoadText(kTextAllFiles));
  if (!file) return std::nullopt;
  return FileMd5Text(*file);
}

// skinui-render: builds a window from a skin and writes its first frame as a
// PNG, without a display. Used for screenshots in demos and for checking a
// skin by eye.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "skinui/host_headless.h"
#include "skinui/skin_resources.h"
#include "skinui/text_convert.h"
#include "skinui/window_impl_base.h"

namespace {

const char kUsage[] =
    "usage: skinui-render [--zip ARCHIVE] SKIN_FOLDER SKIN_FILE OUTPUT.png\n"
    "  Builds the window described by SKIN_FILE (read from SKIN_FOLDER, or from\n"
    "  ARCHIVE, a zip file inside SKIN_FOLDER) and writes its first frame.\n";

class RenderWindow : public SkinUI::WindowImplBase {
 public:
  RenderWindow(std::wstring folder, std::wstring file, std::wstring archive)
      : m_folder(std::move(folder)), m_file(std::move(file)), m_archive(std::move(archive)) {}
  const wchar_t* WindowClassName() const override { return L"skinui_render"; }
  std::wstring SkinFolder() override { return m_folder; }
  std::wstring SkinFile() override { return m_file; }
  SkinUI::UILIB_RESOURCETYPE SkinSource() override {
    return m_archive.empty() ? SkinUI::UILIB_FILE : SkinUI::UILIB_ZIP;
  }
  std::wstring SkinArchiveName() override { return m_archive; }

 private:
  std::wstring m_folder;
  std::wstring m_file;
  std::wstring m_archive;
};

std::wstring absoluteFolder(const std::string& folder) {
  if (!folder.empty() && folder[0] == '/') return SkinUI::Utf8ToWide(folder);
  char cwd[4096];
  if (getcwd(cwd, sizeof cwd) == nullptr) return SkinUI::Utf8ToWide(folder);
  return SkinUI::Utf8ToWide(std::string(cwd) + "/" + folder);
}

}  // namespace

int main(int argc, char** argv) {
  int arg = 1;
  std::string archive;
  if (argc > 1 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc > 2 && std::strcmp(argv[1], "--zip") == 0) {
    archive = argv[2];
    arg = 3;
  }
  if (argc - arg != 3) {
    std::fputs("skinui-render: expected SKIN_FOLDER SKIN_FILE OUTPUT.png (see --help)\n", stderr);
    return 2;
  }
  const std::string output = argv[arg + 2];
  SkinUI::UseHeadlessHost();
  RenderWindow wnd(absoluteFolder(argv[arg]), SkinUI::Utf8ToWide(argv[arg + 1]), SkinUI::Utf8ToWide(archive));
  if (wnd.Create(0, L"skinui-render", SkinUI::WS_POPUP, 0) == 0) {
    std::fputs("skinui-render: the skin could not be loaded\n", stderr);
    return 1;
  }
  // Written beside the target and renamed, so a failed run never leaves a
  // partial image under the final name.
  const std::string temp = output + ".part";
  if (!SkinUI::RenderWindowToPng(wnd, temp) || std::rename(temp.c_str(), output.c_str()) != 0) {
    std::remove(temp.c_str());
    std::fprintf(stderr, "skinui-render: could not write %s\n", output.c_str());
    return 1;
  }
  return 0;
}

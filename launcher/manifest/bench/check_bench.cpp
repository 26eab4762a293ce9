// Runs CheckInstalledFiles on a version folder and prints the code.
#include <cstdio>
#include <string>

#include "launcher/manifest/manifest_check.h"
#include "launcher/string_util.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: check_bench VERSION_FOLDER\n");
    return 2;
  }
  const int code = CheckInstalledFiles(Utf8ToWide(argv[1]), L"tarkel.shell");
  std::printf("%d\n", code);
  return code == 0 ? 0 : 1;
}

// Runs UnzipToFolder once and prints the entry count.
#include <cstdio>

#include "platform/utf8.h"
#include "zip/zip_reader.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: unzip_bench ZIP DESTINATION\n");
    return 2;
  }
  const int count = UnzipToFolder(platform::Utf8ToWide(argv[1]), platform::Utf8ToWide(argv[2]));
  std::printf("%d\n", count);
  return count > 0 ? 0 : 1;
}

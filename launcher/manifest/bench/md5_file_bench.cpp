// Prints Md5OfFile of each argument in md5sum's layout, so the benchmark
// script can time it against md5sum on the same files.
#include <cstdio>

#include "launcher/manifest/md5.h"

int main(int argc, char** argv) {
  int failed = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string digest = Md5OfFile(argv[i]);
    if (digest.empty()) ++failed;
    std::printf("%s  %s\n", digest.c_str(), argv[i]);
  }
  return failed == 0 ? 0 : 1;
}

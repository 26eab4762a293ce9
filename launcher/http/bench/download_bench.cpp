// Times one HttpDownloader::Download of a URL into a file, the way the
// update worker runs it (responder attached, so the rate rules and the
// per-block flush are all in play). Driven by bench/download_bench.sh.

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "launcher/http_downloader.h"

namespace {

struct CountingResponder : varnel_http::DownloadProgressResponder {
  void OnProgress(int percent) override {
    last = percent;
    ++calls;
  }
  int last = -1;
  int calls = 0;
};

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: http_download_bench URL TARGET\n"
               "Downloads URL into TARGET once and prints: <seconds> <bytes> <bytes per second>\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    PrintUsage(stdout);
    return 0;
  }
  if (argc != 3) {
    PrintUsage(stderr);
    return 2;
  }
  CountingResponder responder;
  varnel_http::HttpDownloader downloader(&responder);
  const auto begin = std::chrono::steady_clock::now();
  const bool ok = downloader.Download(argv[1], argv[2]);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  if (!ok || responder.last != 100) {
    std::fprintf(stderr, "http_download_bench: download failed, code %d\n", downloader.last_code());
    std::remove(argv[2]);
    return 1;
  }
  std::FILE* file = std::fopen(argv[2], "rb");
  long long bytes = 0;
  if (file != nullptr) {
    std::fseek(file, 0, SEEK_END);
    bytes = std::ftell(file);
    std::fclose(file);
  }
  std::printf("%.3f %lld %.0f\n", seconds, bytes, static_cast<double>(bytes) / seconds);
  return 0;
}

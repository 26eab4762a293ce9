// Timings of the FLV writer that the command-line tool cannot show alone:
//   flv_bench close FILE.flv   continue FILE in key-frame mode and time the
//                              Close that inserts the index (moving the media)
//   flv_bench seek FILE.flv N  mean time of N random SeekTag calls
// Run by flv_bench.sh, which sets the baselines beside them.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "vidscribe/vidscribe.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int timeClose(const char* path) {
  Vidscriber writer(true);
  if (!writer.Open(path, FLVIO::ModeAppend)) return 1;
  const auto start = std::chrono::steady_clock::now();
  writer.Close();
  std::printf("close_seconds=%.3f\n", secondsSince(start));
  return 0;
}

int timeSeeks(const char* path, int count) {
  Vidscriber reader(false);
  if (!reader.Open(path, FLVIO::ModeRead)) return 1;
  FlvTag last;
  if (!reader.LastTag(last)) return 1;
  const uint32_t end = last.GetTimeStamp();
  std::mt19937 random(12345);
  std::uniform_int_distribution<uint32_t> pick(0, end);
  long long landed = 0;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < count; ++i) landed += reader.SeekTag(pick(random), 1);
  const double seconds = secondsSince(start);
  std::printf("seek_mean_us=%.1f (checksum %lld)\n", seconds * 1e6 / count, landed);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "close") == 0) return timeClose(argv[2]);
  if (argc == 4 && std::strcmp(argv[1], "seek") == 0) return timeSeeks(argv[2], std::atoi(argv[3]));
  std::fprintf(stderr, "usage: flv_bench close FILE.flv | flv_bench seek FILE.flv N\n");
  return 2;
}

// Throughput of the start-code to length-prefixed conversion over a whole
// H.264 stream held in memory, side by side with memcpy of the same bytes
// (the ceiling for any conversion that has to copy its input).
//   annexb_bench STREAM.h264 [ROUNDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bitstream/annexb.h"

namespace {

std::vector<uint8_t> readAll(const char* path) {
  std::vector<uint8_t> data;
  FILE* f = std::fopen(path, "rb");
  if (f == nullptr) return data;
  uint8_t chunk[1 << 16];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) data.insert(data.end(), chunk, chunk + n);
  std::fclose(f);
  return data;
}

template <typename Work>
double bestMegabytesPerSecond(size_t bytes, int rounds, Work&& work) {
  double best = 0;
  for (int i = 0; i < rounds; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double rate = static_cast<double>(bytes) / 1e6 / took.count();
    if (rate > best) best = rate;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0) {
    std::fprintf(argc < 2 ? stderr : stdout, "usage: annexb_bench STREAM.h264 [ROUNDS]\n");
    return argc < 2 ? 2 : 0;
  }
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const std::vector<uint8_t> input = readAll(argv[1]);
  if (input.empty() || rounds < 1) {
    std::fprintf(stderr, "annexb_bench: cannot read %s (or bad round count)\n", argv[1]);
    return 1;
  }
  std::vector<uint8_t> out(vidscribe::AnnexBMaxOutput(input.size()));
  // Touch the output once so page faults are not timed.
  std::memset(out.data(), 0, out.size());

  size_t converted = 0;
  const double convert = bestMegabytesPerSecond(input.size(), rounds, [&] {
    if (!vidscribe::AnnexBToLengthPrefixed(input.data(), input.size(), out.data(), out.size(), &converted)) {
      std::fprintf(stderr, "annexb_bench: conversion failed\n");
      std::exit(1);
    }
  });
  const double copy = bestMegabytesPerSecond(input.size(), rounds, [&] {
    std::memcpy(out.data(), input.data(), input.size());
    asm volatile("" : : "r"(out.data()) : "memory");
  });
  std::printf("input %.1f MB, output %.1f MB, best of %d rounds\n", input.size() / 1e6, converted / 1e6,
              rounds);
  std::printf("annexb conversion  %8.0f MB/s\n", convert);
  std::printf("memcpy baseline    %8.0f MB/s\n", copy);
  std::printf("ratio conversion/memcpy %.2f\n", convert / copy);
  return convert >= 1000.0 ? 0 : 3;
}

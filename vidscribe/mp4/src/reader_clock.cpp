#include "reader_clock.h"

#include <atomic>
#include <chrono>

namespace vidscribe {
namespace {

std::atomic<int64_t (*)()> testClock{nullptr};

}  // namespace

int64_t ReaderClockMs() {
  if (auto clock = testClock.load()) return clock();
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void SetReaderClockForTesting(int64_t (*clock)()) {
  testClock.store(clock);
}

}  // namespace vidscribe

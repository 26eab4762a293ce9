#include "base/mutex.h"

#include <gtest/gtest.h>

#include <thread>

namespace vidscribe {
namespace {

TEST(MutexGuardTest, ReentrantOnOneThreadExclusiveAcrossThreads) {
  Mutex mutex;
  int counter = 0;
  auto work = [&] {
    for (int i = 0; i < 20000; ++i) {
      MutexGuard outer(mutex);
      MutexGuard inner(mutex);  // the holder may enter again
      ++counter;
    }
  };
  std::thread other(work);
  work();
  other.join();
  EXPECT_EQ(counter, 40000);
}

}  // namespace
}  // namespace vidscribe

#pragma once
// Waiting on a condition rather than for a time: tests look again every
// `step` until it holds, and give up only after a limit generous enough
// for a loaded machine.
#include <chrono>
#include <functional>
#include <thread>

namespace test_env {

// True as soon as `done` holds; false once `limit` has passed without.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit,
                      std::chrono::milliseconds step = std::chrono::milliseconds(10)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(step);
  }
  return true;
}

}  // namespace test_env

// Hands out request and context ids. 0 never leaves it: it stands for "no
// id" and, in a cancel message, for every request of a context.
#pragma once

#include <cstdint>

namespace query_router {

class IdGenerator {
 public:
  explicit IdGenerator(int32_t last = 0) : last_(last) {}

  // One past the last id, counted in 32 bits so that the largest id is
  // followed by the most negative one instead of undefined overflow.
  int32_t Next() {
    uint32_t next = static_cast<uint32_t>(last_) + 1u;
    if (next == 0) next = 1;
    last_ = static_cast<int32_t>(next);
    return last_;
  }

 private:
  int32_t last_;
};

}  // namespace query_router

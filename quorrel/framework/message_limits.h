// What one process message may carry, whichever way it goes. The pipe
// refuses a message beyond these limits with an error line, and the bridge
// refuses a page's call beyond them with an exception: a message is never
// cut to fit on the way.
#pragma once

#include <cstddef>

// Levels of lists and dictionaries: a message's argument list is level 0,
// a list inside it level 1.
constexpr int kMaxValueDepth = 64;
// Elements of all the lists and dictionaries of one message together.
constexpr size_t kMaxMessageValues = size_t{1} << 18;

// Counts the elements of one message against kMaxMessageValues.
class MessageValueBudget {
 public:
  // False, counting nothing, when `count` more would pass the limit.
  bool Take(size_t count) {
    if (count > left_) return false;
    left_ -= count;
    return true;
  }

 private:
  size_t left_ = kMaxMessageValues;
};

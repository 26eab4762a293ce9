#pragma once
// The reader's millisecond clock: monotonic, so a wall-clock step never
// makes delivery jump or stall. Tests replace it to drive time by hand.
#include <cstdint>

namespace vidscribe {

int64_t ReaderClockMs();

// nullptr restores the monotonic clock.
void SetReaderClockForTesting(int64_t (*clock)());

}  // namespace vidscribe

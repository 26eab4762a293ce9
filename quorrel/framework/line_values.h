// A bound on what a line will cost the JSON reader, found before reading
// it. The reader keeps about a hundred bytes for every value, so a 64 MiB
// line of tiny values would take gigabytes and seconds before anything
// could look at what it says.
#pragma once

#include <cstddef>
#include <string>

#include "message_limits.h"

// Room for any one message within the message limits: an element costs at
// most three (its comma, its object and a list's bracket).
constexpr size_t kMaxLineValues = 4 * kMaxMessageValues;

// One more than the commas and opening brackets outside strings, which is
// no fewer than the JSON values in the line. Stops counting past `limit`.
size_t CountLineValues(const std::string& line, size_t limit);

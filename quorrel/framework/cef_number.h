// The engines' tests on numbers: which doubles count as 32-bit integers,
// and the ECMAScript conversion to a 32-bit integer. Both back ends hold
// numbers as doubles and answer these the same way.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Integral, in range and not -0.
inline bool IsInt32Number(double d) {
  return d >= std::numeric_limits<int32_t>::min() && d <= std::numeric_limits<int32_t>::max() &&
         d == std::trunc(d) && !(d == 0 && std::signbit(d));
}

inline bool IsUInt32Number(double d) {
  return d >= 0 && d <= std::numeric_limits<uint32_t>::max() && d == std::trunc(d) && !std::signbit(d);
}

// Modulo 2^32, as the engines' ToInt32 does; 0 for NaN and infinities.
inline int32_t ToInt32Number(double d) {
  if (!std::isfinite(d)) return 0;
  const double m = std::fmod(std::trunc(d), 4294967296.0);
  const double u = m < 0 ? m + 4294967296.0 : m;
  return static_cast<int32_t>(static_cast<uint32_t>(u));
}

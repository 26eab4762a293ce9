#include "cef_time.h"

#include <cmath>
#include <cstdint>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (Hinnant's algorithm).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

bool fieldsValid(const CefTime& t) {
  return t.month >= 1 && t.month <= 12 && t.day_of_month >= 1 && t.day_of_month <= 31 && t.hour >= 0 &&
         t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 60 &&
         t.millisecond >= 0 && t.millisecond <= 999 && t.year >= -300000 && t.year <= 300000;
}

int64_t wholeSeconds(const CefTime& t) {
  const int64_t days =
      daysFromCivil(t.year, static_cast<unsigned>(t.month), static_cast<unsigned>(t.day_of_month));
  return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

// Beyond the engine's Date range (±8.64e15 ms) there is no calendar date.
constexpr double kMaxSeconds = 8.64e12;

}  // namespace

int cef_time_to_timet(const CefTime* cef_time, time_t* out) {
  if (!cef_time || !out) return 0;
  *out = 0;
  if (!fieldsValid(*cef_time)) return 0;
  *out = static_cast<time_t>(wholeSeconds(*cef_time));
  return 1;
}

int cef_time_to_doublet(const CefTime* cef_time, double* out) {
  if (!cef_time || !out) return 0;
  *out = 0;
  if (!fieldsValid(*cef_time)) return 0;
  *out = static_cast<double>(wholeSeconds(*cef_time)) + cef_time->millisecond / 1000.0;
  return 1;
}

int cef_time_from_doublet(double in, CefTime* cef_time) {
  if (!cef_time || !std::isfinite(in) || std::fabs(in) > kMaxSeconds) return 0;
  // Work in whole milliseconds so that 1.5 s stays 1 s + 500 ms exactly.
  const int64_t ms = static_cast<int64_t>(std::floor(in * 1000.0 + 0.5e-3));
  int64_t secs = ms / 1000;
  int64_t rem = ms % 1000;
  if (rem < 0) rem += 1000, secs -= 1;
  int64_t days = secs / 86400;
  int64_t sod = secs % 86400;
  if (sod < 0) sod += 86400, days -= 1;
  civilFromDays(days, cef_time->year, cef_time->month, cef_time->day_of_month);
  cef_time->day_of_week = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  cef_time->hour = static_cast<int>(sod / 3600);
  cef_time->minute = static_cast<int>(sod / 60 % 60);
  cef_time->second = static_cast<int>(sod % 60);
  cef_time->millisecond = static_cast<int>(rem);
  return 1;
}

int cef_time_from_timet(time_t in, CefTime* cef_time) {
  return cef_time_from_doublet(static_cast<double>(in), cef_time);
}

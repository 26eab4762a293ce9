// Calendar time in UTC as the framework exchanges it, and its conversion to
// seconds since 1970-01-01 00:00 UTC.
#pragma once

#include <ctime>

struct CefTime {
  int year = 1970;      // full year
  int month = 1;        // 1..12
  int day_of_week = 4;  // 0 = Sunday
  int day_of_month = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Whole seconds; the milliseconds are dropped, so times before 1970 round
// towards the earlier second. Returns 0 and leaves `out` at 0 for fields
// out of range.
int cef_time_to_timet(const CefTime* cef_time, time_t* out);
int cef_time_from_timet(time_t in, CefTime* cef_time);
// Seconds with the millisecond fraction, the engine's own Date resolution.
int cef_time_to_doublet(const CefTime* cef_time, double* out);
int cef_time_from_doublet(double in, CefTime* cef_time);

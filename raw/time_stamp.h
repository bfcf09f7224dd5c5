// Time stamps: the current UTC time with milliseconds, its texts for file names
// and log records, and the machine's time zone.
#pragma once

#include <cstdint>

#include "raw/string.h"

namespace RawLayer {

// Calendar time with milliseconds, as the system gives it (UTC unless stated).
struct RawTime {
  int32_t year = 1601;
  int32_t month = 1;  // 1..12
  int32_t day = 1;    // 1..31
  int32_t hour = 0;
  int32_t minute = 0;
  int32_t second = 0;
  int32_t milliseconds = 0;
  bool operator==(const RawTime&) const = default;
};

// The current UTC time, normalised (every field in its range).
RawTime CurrentTime();
// Milliseconds since 1970-01-01 00:00 UTC and back (proleptic Gregorian calendar).
int64_t UnixMilliseconds(const RawTime& time);
RawTime TimeOfUnixMilliseconds(int64_t milliseconds);
RawString DateText(const RawTime& time);   // YYYYMMDD
RawString TimeText(const RawTime& time);   // HHMMSS
// Date, time and three-digit milliseconds, joined by `separator`.
RawString StampText(const RawTime& time, char separator = '_');

struct RawTimeZone {
  int32_t offsetMinutes = 0;  // local time = UTC + offset, daylight saving included
  RawString name;             // the system's name of the zone in force
};
// The machine's time zone, read once and kept for the process.
const RawTimeZone& TimeZone();
// "UTC+09:00", "UTC-05:30", "UTC+00:00".
RawString UtcOffsetText(int32_t minutes);

}  // namespace RawLayer

#include <windows.h>

#include "raw/time_stamp.h"

namespace RawLayer {

RawTime CurrentTime() {
  SYSTEMTIME system{};
  GetSystemTime(&system);
  // The round trip through a file time fills every field consistently.
  FILETIME file{};
  if (SystemTimeToFileTime(&system, &file)) FileTimeToSystemTime(&file, &system);
  RawTime time;
  time.year = system.wYear;
  time.month = system.wMonth;
  time.day = system.wDay;
  time.hour = system.wHour;
  time.minute = system.wMinute;
  time.second = system.wSecond;
  time.milliseconds = system.wMilliseconds;
  return time;
}

const RawTimeZone& TimeZone() {
  static const RawTimeZone zone = [] {
    RawTimeZone result;
    TIME_ZONE_INFORMATION info{};
    const DWORD kind = GetTimeZoneInformation(&info);
    LONG bias = info.Bias;
    const WCHAR* name = info.StandardName;
    if (kind == TIME_ZONE_ID_DAYLIGHT) {
      bias += info.DaylightBias;
      name = info.DaylightName;
    } else if (kind == TIME_ZONE_ID_STANDARD) {
      bias += info.StandardBias;
    }
    if (kind != TIME_ZONE_ID_INVALID) {
      result.offsetMinutes = -bias;
      result.name = RawString::FromWide(reinterpret_cast<const char16_t*>(name),
                                        static_cast<int32_t>(wcsnlen(name, 32)))
                        .Convert(CodeUtf8);
    }
    return result;
  }();
  return zone;
}

}  // namespace RawLayer

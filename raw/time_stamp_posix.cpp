#include <time.h>

#include "raw/time_stamp.h"

namespace RawLayer {

RawTime CurrentTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return TimeOfUnixMilliseconds(static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
}

const RawTimeZone& TimeZone() {
  static const RawTimeZone zone = [] {
    RawTimeZone result;
    const time_t now = time(nullptr);
    tm local{};
    if (localtime_r(&now, &local) != nullptr) {
      result.offsetMinutes = static_cast<int32_t>(local.tm_gmtoff / 60);
      if (local.tm_zone != nullptr) result.name = RawString::FromUtf8(local.tm_zone);
    }
    return result;
  }();
  return zone;
}

}  // namespace RawLayer

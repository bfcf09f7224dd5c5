#include "raw/time_stamp.h"

namespace RawLayer {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's
// civil-calendar algorithms).
int64_t DaysOfDate(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

void DateOfDays(int64_t days, RawTime& time) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t dayOfEra = days - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t shifted = (5 * dayOfYear + 2) / 153;
  time.day = static_cast<int32_t>(dayOfYear - (153 * shifted + 2) / 5 + 1);
  time.month = static_cast<int32_t>(shifted < 10 ? shifted + 3 : shifted - 9);
  time.year = static_cast<int32_t>(yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0));
}

void AppendDigits(RawString& text, int32_t value, int width) {
  text.AppendNumberWidth(static_cast<uint64_t>(value < 0 ? -value : value), 10, width);
}

}  // namespace

int64_t UnixMilliseconds(const RawTime& time) {
  const int64_t days = DaysOfDate(time.year, time.month, time.day);
  return ((days * 24 + time.hour) * 60 + time.minute) * 60000 + time.second * 1000 + time.milliseconds;
}

RawTime TimeOfUnixMilliseconds(int64_t milliseconds) {
  constexpr int64_t kDay = 86400000;
  int64_t days = milliseconds / kDay;
  int64_t rest = milliseconds % kDay;
  if (rest < 0) {
    rest += kDay;
    --days;
  }
  RawTime time;
  DateOfDays(days, time);
  time.hour = static_cast<int32_t>(rest / 3600000);
  time.minute = static_cast<int32_t>(rest / 60000 % 60);
  time.second = static_cast<int32_t>(rest / 1000 % 60);
  time.milliseconds = static_cast<int32_t>(rest % 1000);
  return time;
}

RawString DateText(const RawTime& time) {
  RawString text;
  AppendDigits(text, time.year, 4);
  AppendDigits(text, time.month, 2);
  AppendDigits(text, time.day, 2);
  return text;
}

RawString TimeText(const RawTime& time) {
  RawString text;
  AppendDigits(text, time.hour, 2);
  AppendDigits(text, time.minute, 2);
  AppendDigits(text, time.second, 2);
  return text;
}

RawString StampText(const RawTime& time, char separator) {
  RawString text = DateText(time);
  text.AppendChar(static_cast<unsigned char>(separator));
  text.Append(TimeText(time));
  text.AppendChar(static_cast<unsigned char>(separator));
  AppendDigits(text, time.milliseconds, 3);
  return text;
}

RawString UtcOffsetText(int32_t minutes) {
  RawString text("UTC");
  text.AppendChar(minutes < 0 ? '-' : '+');
  const int64_t magnitude = minutes < 0 ? -static_cast<int64_t>(minutes) : minutes;
  text.AppendNumberWidth(static_cast<uint64_t>(magnitude / 60), 10, 2);
  text.AppendChar(':');
  text.AppendNumberWidth(static_cast<uint64_t>(magnitude % 60), 10, 2);
  return text;
}

}  // namespace RawLayer

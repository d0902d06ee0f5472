#include "app/local_time.h"

#include <cstdio>
#include <cstdlib>

namespace app {
namespace {

// The broken-down time read as UTC, in seconds since the epoch (the civil
// calendar's day count, so that no time zone takes part).
long long SecondsAsUtc(const std::tm& time) {
  const int month = time.tm_mon + 1;
  const long long year = time.tm_year + 1900 - (month <= 2);
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const long long yearOfEra = year - era * 400;
  const long long dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + time.tm_mday - 1;
  const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const long long days = era * 146097 + dayOfEra - 719468;
  return days * 86400 + time.tm_hour * 3600 + time.tm_min * 60 + time.tm_sec;
}

}  // namespace

std::tm LocalTime(std::time_t when) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &when);
#else
  localtime_r(&when, &local);
#endif
  return local;
}

std::string UtcOffsetText(std::time_t when) {
  const long long minutes = (SecondsAsUtc(LocalTime(when)) - static_cast<long long>(when)) / 60;
  char text[32];
  std::snprintf(text, sizeof text, "%c%02lld:%02lld", minutes < 0 ? '-' : '+', std::llabs(minutes) / 60,
                std::llabs(minutes) % 60);
  return text;
}

}  // namespace app

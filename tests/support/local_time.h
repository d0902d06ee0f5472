#pragma once

#include <ctime>

namespace test {

// A broken-down local time as the C library gives it.
inline std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm moment{};
  moment.tm_year = year - 1900;
  moment.tm_mon = month - 1;
  moment.tm_mday = day;
  moment.tm_hour = hour;
  moment.tm_min = minute;
  moment.tm_sec = second;
  return moment;
}

}  // namespace test

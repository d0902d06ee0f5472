#pragma once

#include <ctime>
#include <string>

namespace app {

// The local time of `when`, as this system's time zone has it.
std::tm LocalTime(std::time_t when);
// How far local time is ahead of UTC at `when`: "+01:00", "-05:30".
std::string UtcOffsetText(std::time_t when);

}  // namespace app

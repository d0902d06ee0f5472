#pragma once

#include <cstdint>
#include <ctime>

namespace app {

// A local date and time packed into the 32-bit file-date format of the FAT
// file system: year - 1980 in bits 31..25, month 24..21, day 20..16, hour
// 15..11, minute 10..5, seconds / 2 in 4..0. Zero before 1980 and from 2100
// on; years from 2044 give negative numbers.
std::int32_t FatDateStamp(const std::tm& local);

}  // namespace app

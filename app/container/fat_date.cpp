#include "app/container/fat_date.h"

namespace app {

std::int32_t FatDateStamp(const std::tm& local) {
  const int year = local.tm_year + 1900;
  if (year < 1980 || year >= 2100) return 0;
  const std::uint32_t packed = static_cast<std::uint32_t>(year - 1980) << 25 |
                               static_cast<std::uint32_t>(local.tm_mon + 1) << 21 |
                               static_cast<std::uint32_t>(local.tm_mday) << 16 |
                               static_cast<std::uint32_t>(local.tm_hour) << 11 |
                               static_cast<std::uint32_t>(local.tm_min) << 5 |
                               static_cast<std::uint32_t>(local.tm_sec / 2);
  return static_cast<std::int32_t>(packed);
}

}  // namespace app

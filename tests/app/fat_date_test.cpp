#include "app/container/fat_date.h"

#include <gtest/gtest.h>

#include "support/local_time.h"

namespace app {
namespace {

using test::At;

TEST(FatDateStamp, PacksTheLocalTime) {
  EXPECT_EQ(FatDateStamp(At(2026, 12, 7, 12, 10, 4)), 1569153346);
  EXPECT_EQ(FatDateStamp(At(2026, 12, 7, 12, 10, 5)), 1569153346) << "seconds count in pairs";
  EXPECT_EQ(FatDateStamp(At(1980, 1, 1, 0, 0, 0)), (1 << 21) | (1 << 16));
}

TEST(FatDateStamp, IsZeroOutsideItsYears) {
  EXPECT_EQ(FatDateStamp(At(1979, 12, 31, 23, 59, 59)), 0);
  EXPECT_EQ(FatDateStamp(At(2100, 1, 1, 0, 0, 0)), 0);
}

TEST(FatDateStamp, From2044OnItIsNegative) {
  EXPECT_LT(FatDateStamp(At(2044, 1, 1, 0, 0, 0)), 0);
  EXPECT_GT(FatDateStamp(At(2043, 12, 31, 23, 59, 58)), 0);
  EXPECT_EQ(FatDateStamp(At(2099, 12, 31, 23, 59, 58)), static_cast<std::int32_t>(0xEF9FBF7Du));
}

}  // namespace
}  // namespace app

#include "entity/dictionary_lines.h"

#include <gtest/gtest.h>

namespace entity {
namespace {

using Lines = std::vector<std::string>;

TEST(SplitLines, EndsLinesAtCrLfBareLfAndBareCr) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (Lines{"a", "b", "c", "d"}));
}

TEST(SplitLines, KeepsEmptyLinesBetweenTerminatorsButAddsNoneAtTheEnd) {
  EXPECT_EQ(SplitLines("a\r\n\r\nb\r\n"), (Lines{"a", "", "b"}));
  EXPECT_EQ(SplitLines("\n\n"), (Lines{"", ""}));
  EXPECT_EQ(SplitLines(""), Lines{});
}

TEST(SplitLines, KeepsBlanksAndEightBitBytes) {
  EXPECT_EQ(SplitLines(" \xE4 = x \n"), Lines{" \xE4 = x "});
}

}  // namespace
}  // namespace entity

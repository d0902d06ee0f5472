#include "entity/dictionary_lines.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

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

TEST(ReadDictionaryLines, ReadsTheLinesOfAFile) {
  test::TempFolder folder;
  const auto file = folder.Write("d.ini", "\xE4=&auml;\r\n[section]\r\n");
  EXPECT_EQ(ReadDictionaryLines(file.string()), (Lines{"\xE4=&auml;", "[section]"}));
}

TEST(ReadDictionaryLines, GivesNothingForAFileThatCannotBeOpened) {
  test::TempFolder folder;
  EXPECT_FALSE(ReadDictionaryLines((folder.Path() / "missing.ini").string()).has_value());
}

TEST(ReadDictionaryLines, RaisesWhenTheFileOpensButCannotBeRead) {
  test::TempFolder folder;
  EXPECT_THROW(ReadDictionaryLines(folder.Path().string()), EDictionaryReadError);
}

}  // namespace
}  // namespace entity

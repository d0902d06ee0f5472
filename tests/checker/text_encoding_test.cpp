#include "checker/text_encoding.h"

#include <gtest/gtest.h>

namespace mmx {
namespace {

TEST(IsValidUtf8, AcceptsWellFormedSequencesOnly) {
  EXPECT_TRUE(IsValidUtf8("plain"));
  EXPECT_TRUE(IsValidUtf8("M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("M\xFCller"));         // Windows-1252
  EXPECT_FALSE(IsValidUtf8("\xC3"));              // cut short
  EXPECT_FALSE(IsValidUtf8("\xC0\xAF"));          // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // beyond U+10FFFF
}

TEST(DisplayText, ReadsWhatIsNotUtf8AsWindows1252) {
  EXPECT_EQ(DisplayText("M\xC3\xBCller"), "M\xC3\xBCller");
  EXPECT_EQ(DisplayText("M\xFCller \x80 \xDF"), "M\xC3\xBCller \xE2\x82\xAC \xC3\x9F");
  EXPECT_EQ(DisplayText("\x81"), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace mmx

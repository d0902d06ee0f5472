#include "platform/ansi.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(Ansi, Windows1252BytesBecomeTheirCharacters) {
  EXPECT_EQ(AnsiToUtf16("M\xFCller \x80 \x9F"), u"M\u00FCller \u20AC \u0178");
  EXPECT_EQ(AnsiToUtf16("\x81"), u"\u0081");
}

TEST(Ansi, CharactersWithoutAByteBecomeQuestionMarks) {
  EXPECT_EQ(Utf16ToAnsi(u"M\u00FCller \u20AC"), "M\xFCller \x80");
  EXPECT_EQ(Utf16ToAnsi(u"\u0416 \U0001F600"), "? ?");
}

TEST(Ansi, Windows1252BecomesUtf8) {
  EXPECT_EQ(AnsiToUtf8("M\xFCller \x80 a"), "M\xC3\xBCller \xE2\x82\xAC a");
}

TEST(Ansi, DisplayTextTakesUtf8AsItIsAndEverythingElseAsWindows1252) {
  EXPECT_EQ(DisplayText("Zeitüberschreitung"), u"Zeit\u00FCberschreitung");
  EXPECT_EQ(DisplayText("M\xFCller"), u"M\u00FCller");
  EXPECT_EQ(DisplayText("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));      // over-long
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // a surrogate
  EXPECT_FALSE(IsValidUtf8("\xE2\x82"));      // cut short
  EXPECT_TRUE(IsValidUtf8(""));
}

}  // namespace
}  // namespace platform

#include "xml/char_classes.h"

#include <gtest/gtest.h>

#include "xml/stream_exceptions.h"

namespace xml {
namespace {

TEST(CharClasses, CharExcludesControlsAndTheLastTwoUnits)
{
  EXPECT_TRUE(isXmlChar(0x09));
  EXPECT_TRUE(isXmlChar(0x0A));
  EXPECT_TRUE(isXmlChar(0x0D));
  EXPECT_TRUE(isXmlChar(0x20));
  EXPECT_TRUE(isXmlChar(0xD800));
  EXPECT_TRUE(isXmlChar(0xFFFD));
  EXPECT_FALSE(isXmlChar(0x00));
  EXPECT_FALSE(isXmlChar(0x0B));
  EXPECT_FALSE(isXmlChar(0x1F));
  EXPECT_FALSE(isXmlChar(0xFFFE));
  EXPECT_FALSE(isXmlChar(0xFFFF));
}

TEST(CharClasses, AppendixBTablesDecideLettersDigitsAndFriends)
{
  EXPECT_TRUE(isXmlBaseChar(u'A'));
  EXPECT_TRUE(isXmlBaseChar(0x00E4));
  EXPECT_FALSE(isXmlBaseChar(0x00D7));
  EXPECT_TRUE(isXmlIdeographic(0x4E00));
  EXPECT_TRUE(isXmlIdeographic(0x3007));
  EXPECT_TRUE(isXmlCombiningChar(0x0300));
  EXPECT_TRUE(isXmlDigit(0x0660));
  EXPECT_FALSE(isXmlDigit(u'a'));
  EXPECT_TRUE(isXmlExtender(0x00B7));
  EXPECT_TRUE(isXmlLetter(0x3041));
  EXPECT_FALSE(isXmlLetter(0x0300));
}

TEST(CharClasses, NamesAndTheirRelatives)
{
  EXPECT_TRUE(isXmlName(u"Werk"));
  EXPECT_TRUE(isXmlName(u"_a.b-c:d"));
  EXPECT_TRUE(isXmlName(u":x"));
  EXPECT_TRUE(isXmlName(u"\u00E4\u0300"));
  EXPECT_FALSE(isXmlName(u""));
  EXPECT_FALSE(isXmlName(u"1a"));
  EXPECT_FALSE(isXmlName(u"-a"));
  EXPECT_FALSE(isXmlName(u"a b"));
  EXPECT_TRUE(isXmlNmtoken(u"1a"));
  EXPECT_FALSE(isXmlNmtoken(u""));
  EXPECT_TRUE(isXmlNCName(u"a.b"));
  EXPECT_FALSE(isXmlNCName(u"a:b"));
  EXPECT_TRUE(isXmlQName(u"p:local"));
  EXPECT_FALSE(isXmlQName(u"p:"));
  EXPECT_FALSE(isXmlQName(u"a:b:c"));
}

TEST(CharClasses, DeclarationProductions)
{
  EXPECT_TRUE(isXmlVersionNum(u"1.0"));
  EXPECT_FALSE(isXmlVersionNum(u""));
  EXPECT_FALSE(isXmlVersionNum(u"1 0"));
  EXPECT_TRUE(isXmlEncName(u"ISO-8859-1"));
  EXPECT_TRUE(isXmlEncName(u"x_y.z"));
  EXPECT_FALSE(isXmlEncName(u"8bit"));
  EXPECT_FALSE(isXmlEncName(u""));
  EXPECT_TRUE(isXmlPubidChars(u"-//ECU//DTD ecu 1.2//EN"));
  EXPECT_FALSE(isXmlPubidChars(u"a\"b"));
  EXPECT_FALSE(isXmlPubidChars(u"tab\there"));
  EXPECT_TRUE(isXmlSystemLiteral(u"\"a'b\""));
  EXPECT_TRUE(isXmlSystemLiteral(u"''"));
  EXPECT_FALSE(isXmlSystemLiteral(u"\"a\"b\""));
  EXPECT_FALSE(isXmlSystemLiteral(u"\"a'"));
  EXPECT_TRUE(isXmlPubidLiteral(u"'-//A//EN'"));
  EXPECT_FALSE(isXmlPubidLiteral(u"'{}'"));
}

TEST(CharClasses, CharacterDataRejectsMarkupAndBrokenSurrogates)
{
  EXPECT_TRUE(isXmlCharData(u"plain > text\n"));
  EXPECT_TRUE(isXmlCharData(u"\U00010000"));
  EXPECT_FALSE(isXmlCharData(u"a<b"));
  EXPECT_FALSE(isXmlCharData(u"a&b"));
  EXPECT_FALSE(isXmlCharData(u"a]]>"));
  EXPECT_FALSE(isXmlCharData(std::u16string(1, char16_t(0xD800))));
  EXPECT_FALSE(isXmlCharData(std::u16string(1, char16_t(0xDC00))));
  EXPECT_FALSE(isXmlCharData(std::u16string({u'a', 0xDC00, 0xD800})));
  EXPECT_FALSE(isXmlCharData(std::u16string({u'a', 0x01})));
  EXPECT_TRUE(isXmlCDataContent(u"<b>&amp;</b>"));
  EXPECT_FALSE(isXmlCDataContent(u"x]]>"));
  EXPECT_TRUE(isXmlWhiteSpaceText(u" \t\r\n"));
  EXPECT_FALSE(isXmlWhiteSpaceText(u""));
  EXPECT_FALSE(isXmlWhiteSpaceText(u" x"));
}

TEST(CharClasses, CharacterReferencesDecode)
{
  EXPECT_EQ(decodeXmlCharRef(u"&#65;"), u"A");
  EXPECT_EQ(decodeXmlCharRef(u"&#x41;"), u"A");
  EXPECT_EQ(decodeXmlCharRef(u"&#xe4;"), u"\u00E4");
  EXPECT_EQ(decodeXmlCharRef(u"&#x10000;"), std::u16string({0xD800, 0xDC00}));
  EXPECT_EQ(decodeXmlCharRef(u"&#1114111;"), std::u16string({0xDBFF, 0xDFFF}));
}

TEST(CharClasses, BadCharacterReferencesNameThemselves)
{
  for (std::u16string token : {u"&#X41;", u"&#0;", u"&#xD800;", u"&#xFFFE;", u"&#x110000;", u"&#;", u"&#x;",
                               u"&#12a;", u"&#99999999999999999999;", u"&#65"}) {
    try {
      decodeXmlCharRef(token);
      ADD_FAILURE() << "accepted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), std::string(token.begin(), token.end()) + " is not a valid XmlCharRef value.");
    }
  }
}

} // namespace
} // namespace xml

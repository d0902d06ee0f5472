#include "xml/locator.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "xml/input_source.h"

namespace xml {
namespace {

class LocatorTest : public ::testing::Test {
protected:
  std::istringstream stream_{"x"};
  TInputSource source_{&stream_, u"public", u"system"};
};

TEST_F(LocatorTest, FirstUnitIsLineOneColumnOneAndATokenStart)
{
  TLocator locator(source_);
  EXPECT_EQ(locator.line(), 0u);
  locator.advance(u'<');
  EXPECT_EQ(locator.line(), 1u);
  EXPECT_EQ(locator.column(), 1u);
  EXPECT_EQ(locator.startLine(), 1u);
  EXPECT_EQ(locator.startColumn(), 1u);
  EXPECT_EQ(locator.publicId(), u"public");
  EXPECT_EQ(locator.systemId(), u"system");
}

TEST_F(LocatorTest, UnitAfterALineFeedStartsTheNextLine)
{
  TLocator locator(source_);
  for (char16_t c : std::u16string(u"ab\ncd"))
    locator.advance(c);
  EXPECT_EQ(locator.line(), 2u);
  EXPECT_EQ(locator.column(), 2u);
  locator.advance(u'\n');
  EXPECT_EQ(locator.line(), 2u);
  EXPECT_EQ(locator.column(), 3u);
  locator.advance(u'e');
  EXPECT_EQ(locator.line(), 3u);
  EXPECT_EQ(locator.column(), 1u);
}

TEST_F(LocatorTest, MarkStartKeepsTheTokenStartWhileReadingOn)
{
  TLocator locator(source_);
  for (char16_t c : std::u16string(u"abc"))
    locator.advance(c);
  locator.markStart();
  locator.advance(u'\n');
  locator.advance(u'd');
  EXPECT_EQ(locator.startLine(), 1u);
  EXPECT_EQ(locator.startColumn(), 3u);
  EXPECT_EQ(locator.line(), 2u);
}

TEST_F(LocatorTest, AdvancingARunEqualsAdvancingEachUnit)
{
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::u16string text;
    int length = random() % 40;
    for (int i = 0; i < length; ++i)
      text += random() % 4 == 0 ? u'\n' : u'a';
    TLocator single(source_);
    TLocator bulk(source_);
    std::size_t split = text.empty() ? 0 : random() % text.size();
    for (char16_t c : text)
      single.advance(c);
    bulk.advance(std::u16string_view(text).substr(0, split));
    bulk.advance(std::u16string_view(text).substr(split));
    EXPECT_EQ(single.line(), bulk.line()) << round;
    EXPECT_EQ(single.column(), bulk.column()) << round;
    EXPECT_EQ(single.startLine(), bulk.startLine()) << round;
  }
}

} // namespace
} // namespace xml

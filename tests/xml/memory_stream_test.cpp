#include "xml/memory_stream.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "xml/input_source.h"

namespace xml {
namespace {

std::string readAll(std::istream& stream)
{
  return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

TEST(MemoryStream, PiecesReadAsOneSequenceAndSeek)
{
  std::string first = "abc";
  std::string second = "defgh";
  TMemoryStream stream({first, std::string_view(), second});
  EXPECT_EQ(readAll(stream), "abcdefgh");
  stream.clear();
  stream.seekg(4);
  char out[3] = {};
  stream.read(out, 3);
  EXPECT_EQ(std::string(out, 3), "efg");
  stream.seekg(-6, std::ios_base::cur);
  EXPECT_EQ(stream.get(), 'b');
  stream.seekg(0, std::ios_base::end);
  EXPECT_EQ(stream.get(), std::char_traits<char>::eof());
  stream.clear();
  stream.seekg(99);
  EXPECT_TRUE(stream.fail());
}

TEST(MemoryStream, WideTextGetsAByteOrderMarkOnce)
{
  std::u16string text = u"<\u00E4/>";
  TMemoryStream stream(wideTextPieces(text));
  TInputSource source(&stream, u"", u"");
  EXPECT_EQ(source.nextUnits(), text);
  std::u16string marked = u"\uFEFF<b/>";
  EXPECT_EQ(wideTextPieces(marked).size(), 1u);
}

TEST(MemoryStream, ALongPrologMakesTheSourceSeekBackThroughThePieces)
{
  std::string prolog = "<!--" + std::string(100000, 'x') + "-->";
  std::string rest = "<root/>";
  std::string_view whole = prolog;
  TMemoryStream stream({whole.substr(0, 5000), whole.substr(5000), rest});
  TInputSource source(&stream, u"", u"");
  EXPECT_EQ(source.formatName(), u"root");
  std::size_t units = 0;
  for (std::u16string_view run = source.nextUnits(); !run.empty(); run = source.nextUnits())
    units += run.size();
  EXPECT_EQ(units, prolog.size() + rest.size());
}

} // namespace
} // namespace xml

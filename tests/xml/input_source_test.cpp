#include "xml/input_source.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "support/run_program.h"

#include "xml/stream_exceptions.h"

namespace xml {
namespace {

std::u16string decodeAll(const std::string& bytes)
{
  std::istringstream stream(bytes);
  TInputSource source(&stream, u"", u"");
  std::u16string units;
  char16_t unit;
  while (source.getNextChar(unit))
    units += unit;
  return units;
}

std::string conversionError(const std::string& bytes)
{
  try {
    decodeAll(bytes);
  } catch (const EConvertError& e) {
    return e.what();
  }
  return "no error";
}

TEST(InputSource, NullStreamIsRejected)
{
  try {
    TInputSource source(nullptr, u"", u"");
    FAIL();
  } catch (const EStreamError& e) {
    EXPECT_STREQ(e.what(), "Stream not specified.");
  }
}

TEST(InputSource, Utf8WithoutDeclarationDecodes)
{
  EXPECT_EQ(decodeAll("<a>\xC3\xA4\xE2\x82\xAC</a>"), u"<a>\u00E4\u20AC</a>");
  EXPECT_EQ(decodeAll(""), u"");
}

TEST(InputSource, Utf8ByteOrderMarkIsSkipped)
{
  std::istringstream stream("\xEF\xBB\xBF<?xml version=\"1.0\"?><a/>");
  TInputSource source(&stream, u"", u"");
  char16_t first;
  ASSERT_TRUE(source.getNextChar(first));
  EXPECT_EQ(first, u'<');
  EXPECT_EQ(source.encoding(), TEncoding::Utf8);
}

TEST(InputSource, FourByteUtf8BecomesSurrogatePair)
{
  EXPECT_EQ(decodeAll("\xF0\x90\x80\x80"), std::u16string({0xD800, 0xDC00}));
  EXPECT_EQ(decodeAll("\xF4\x8F\xBF\xBF"), std::u16string({0xDBFF, 0xDFFF}));
}

TEST(InputSource, Utf16ByteOrderMarksSelectTheEncodingAndAreSkipped)
{
  std::string little("\xFF\xFE<\0a\0\xE4\0", 8);
  std::string big("\xFE\xFF\0<\0a\0\xE4", 8);
  EXPECT_EQ(decodeAll(little), u"<a\u00E4");
  EXPECT_EQ(decodeAll(big), u"<a\u00E4");
  std::istringstream stream(little);
  EXPECT_EQ(TInputSource(&stream, u"", u"").encoding(), TEncoding::Utf16LE);
}

TEST(InputSource, EncodingDeclarationNamesAreMatchedWithoutCase)
{
  EXPECT_EQ(encodingFromName(u"latin-1"), TEncoding::Iso8859_1);
  EXPECT_EQ(encodingFromName(u"ISO-8859-15"), TEncoding::Iso8859_15);
  EXPECT_EQ(encodingFromName(u"koi8-r"), TEncoding::Koi8R);
  EXPECT_EQ(encodingFromName(u"CP10000_MACROMAN"), TEncoding::MacRoman);
  EXPECT_EQ(encodingFromName(u"cp1251"), TEncoding::Windows1251);
  EXPECT_EQ(encodingFromName(u"windows-1252"), TEncoding::Windows1252);
  EXPECT_EQ(encodingFromName(u"CP1250"), TEncoding::Windows1250);
  EXPECT_EQ(encodingFromName(u"us-ascii"), TEncoding::UsAscii);
  EXPECT_EQ(encodingFromName(u"UTF-8"), TEncoding::Utf8);
  EXPECT_EQ(encodingFromName(u"UTF-16"), TEncoding::Utf16LE);
  EXPECT_EQ(encodingFromName(u"Shift_JIS"), std::nullopt);
  EXPECT_EQ(encodingFromName(u"windows-1250x"), std::nullopt);
}

TEST(InputSource, DeclaredEncodingDecidesHowBytesDecode)
{
  EXPECT_EQ(decodeAll("<?xml version=\"1.0\" encoding=\"latin-1\"?>\xE4"),
            u"<?xml version=\"1.0\" encoding=\"latin-1\"?>\u00E4");
  EXPECT_EQ(decodeAll("<?xml version='1.0' encoding = 'UTF-8'?>\xC3\xA4").back(), u'\u00E4');
  // A broken pseudo-attribute list leaves UTF-8.
  EXPECT_EQ(conversionError("<?xml version=\"1.0 encoding=\"latin-1\"?>\xE4"),
            "Aborted UTF-8 sequence at position 40");
}

struct TCodePageCase {
  const char* name;
  unsigned char byte;
  char16_t unit;
};

TEST(InputSource, SingleByteCodePagesMapThroughTheirTables)
{
  const TCodePageCase cases[] = {
      {"ISO-8859-1", 0xE4, 0x00E4},  {"ISO-8859-2", 0xA1, 0x0104},  {"ISO-8859-3", 0xA1, 0x0126},
      {"ISO-8859-4", 0xA2, 0x0138},  {"ISO-8859-5", 0xB0, 0x0410},  {"ISO-8859-6", 0xC7, 0x0627},
      {"ISO-8859-7", 0xC1, 0x0391},  {"ISO-8859-8", 0xE0, 0x05D0},  {"ISO-8859-9", 0xF0, 0x011F},
      {"ISO-8859-10", 0xA1, 0x0104}, {"ISO-8859-13", 0xA1, 0x201D}, {"ISO-8859-14", 0xA1, 0x1E02},
      {"ISO-8859-15", 0xA4, 0x20AC}, {"KOI8-R", 0xC1, 0x0430},      {"cp10000_MacRoman", 0x80, 0x00C4},
      {"Windows-1251", 0xC0, 0x0410}, {"Latin-9", 0xBD, 0x0153},
  };
  for (const TCodePageCase& c : cases) {
    std::string declaration = std::string("<?xml version=\"1.0\" encoding=\"") + c.name + "\"?>";
    std::u16string units = decodeAll(declaration + char(c.byte) + "A");
    ASSERT_EQ(units.size(), declaration.size() + 2) << c.name;
    EXPECT_EQ(units[declaration.size()], c.unit) << c.name;
    EXPECT_EQ(units.back(), u'A') << c.name;
  }
}

// The Windows pages byte by byte against Python's codecs, which are built
// from the same published tables: one line per page, "-" for a byte the
// page leaves undefined.
TEST(InputSource, WindowsCodePagesDecodeLikePythonsCodecs)
{
  const char* const script = "for page in range(1250, 1259):\n"
                             "    units = []\n"
                             "    for byte in range(128, 256):\n"
                             "        try: units.append('%04X' % ord(bytes([byte]).decode('cp%d' % page)))\n"
                             "        except UnicodeDecodeError: units.append('-')\n"
                             "    print(page, ' '.join(units))\n";
  test::ProgramResult python = test::RunProgram({"/usr/bin/python3", "-c", script}, {});
  ASSERT_EQ(python.exitCode, 0) << python.output;
  std::istringstream lines(python.output);
  int pages = 0;
  for (std::string page; lines >> page; ++pages) {
    std::string declaration = "<?xml version=\"1.0\" encoding=\"windows-" + page + "\"?>";
    for (int byte = 0x80; byte <= 0xFF; ++byte) {
      std::string expected;
      lines >> expected;
      std::string input = declaration + char(byte);
      std::string decoded;
      try {
        char16_t unit = decodeAll(input).back();
        char hex[5];
        std::snprintf(hex, sizeof hex, "%04X", unsigned(unit));
        decoded = hex;
      } catch (const EConvertError& e) {
        EXPECT_EQ(std::string(e.what()).substr(0, 14), "Invalid cp" + page);
        decoded = "-";
      }
      EXPECT_EQ(decoded, expected) << "windows-" << page << " byte " << byte;
    }
  }
  EXPECT_EQ(pages, 9);
}

TEST(InputSource, UndefinedBytesOfACodePageAreConversionErrors)
{
  auto withEncoding = [](const char* name, char byte) {
    return std::string("<?xml version=\"1.0\" encoding=\"") + name + "\"?>" + byte;
  };
  EXPECT_EQ(conversionError(withEncoding("ISO-8859-3", '\xA5')), "Invalid ISO-8859-3 sequence \"\xC2\xA5\"");
  EXPECT_EQ(conversionError(withEncoding("ISO-8859-6", '\xA1')), "Invalid ISO-8859-6 sequence \"\xC2\xA1\"");
  EXPECT_EQ(conversionError(withEncoding("ISO-8859-7", '\xFF')), "Invalid ISO-8859-7 sequence \"\xC3\xBF\"");
  EXPECT_EQ(conversionError(withEncoding("ISO-8859-8", '\xBF')), "Invalid ISO-8859-8 sequence \"\xC2\xBF\"");
  EXPECT_EQ(conversionError(withEncoding("cp1251", '\x98')), "Invalid cp1251 sequence \"\xC2\x98\"");
}

TEST(InputSource, Utf8ErrorsCarryTheByteOffset)
{
  EXPECT_EQ(conversionError("ab\x80"), "Invalid UTF-8 sequence at position 2");
  EXPECT_EQ(conversionError("a\xC3\x41"), "Invalid UTF-8 sequence at position 2");
  EXPECT_EQ(conversionError("ab\xE2\x82"), "Aborted UTF-8 sequence at position 4");
  EXPECT_EQ(conversionError("\xC0\xAF"), "Invalid UTF-8 encoding at position 0");
  EXPECT_EQ(conversionError("x\xE0\x80\xAF"), "Invalid UTF-8 encoding at position 1");
  EXPECT_EQ(conversionError("\xFE\x80\x80\x80\x80\x80\x80"), "Invalid UTF-8 sequence at position 0");
}

TEST(InputSource, ValuesNoSurrogatePairCarriesAreRejected)
{
  EXPECT_EQ(conversionError("\xF4\x90\x80\x80"), "Invalid UTF-8 sequence at position 0");
  EXPECT_EQ(conversionError("a\xF8\x88\x80\x80\x80"), "Invalid UTF-8 sequence at position 1");
  EXPECT_EQ(conversionError("\xFC\x84\x80\x80\x80\x80"), "Invalid UTF-8 sequence at position 0");
  EXPECT_EQ(conversionError("\xED\xA0\x80"), "Invalid UTF-8 sequence at position 0");
}

TEST(InputSource, UnitsBeforeABadByteAreDeliveredFirst)
{
  std::istringstream stream("ab\x80");
  TInputSource source(&stream, u"", u"");
  char16_t unit;
  ASSERT_TRUE(source.getNextChar(unit));
  EXPECT_EQ(unit, u'a');
  ASSERT_TRUE(source.getNextChar(unit));
  EXPECT_EQ(unit, u'b');
  EXPECT_THROW(source.getNextChar(unit), EConvertError);
}

TEST(InputSource, LineEndsBecomeLineFeeds)
{
  EXPECT_EQ(decodeAll("a\r\r\nb"), u"a\n\nb");
  EXPECT_EQ(decodeAll("a\r\nb\rc\n"), u"a\nb\nc\n");
  EXPECT_EQ(decodeAll("a\r"), u"a\n");
  EXPECT_EQ(decodeAll("\r\n\r\n"), u"\n\n");
}

TEST(InputSource, LongInputsDecodeAcrossBufferBoundaries)
{
  std::string bytes;
  std::u16string expected;
  for (int i = 0; i < 70000; ++i) {
    bytes += i % 3 == 0 ? "\xC3\xA4" : i % 3 == 1 ? "\r\n" : "\xF0\x9F\x98\x80";
    if (i % 3 == 0)
      expected += u'\u00E4';
    else if (i % 3 == 1)
      expected += u'\n';
    else
      expected += std::u16string({0xD83D, 0xDE00});
  }
  EXPECT_EQ(decodeAll(bytes), expected);
}

TEST(InputSource, ResetStartsOverAfterTheByteOrderMark)
{
  std::string bytes("\xFF\xFE" "a\0b\0", 6);
  std::istringstream stream(bytes);
  TInputSource source(&stream, u"pub", u"sys");
  char16_t unit;
  ASSERT_TRUE(source.getNextChar(unit));
  ASSERT_TRUE(source.getNextChar(unit));
  source.reset();
  ASSERT_TRUE(source.getNextChar(unit));
  EXPECT_EQ(unit, u'a');
  EXPECT_EQ(source.publicId(), u"pub");
  EXPECT_EQ(source.systemId(), u"sys");
}

std::u16string formatNameOf(const std::string& bytes)
{
  std::istringstream stream(bytes);
  return TInputSource(&stream, u"", u"").formatName();
}

TEST(InputSource, PrescanFindsTheDoctypeNameOrTheFirstStartTag)
{
  EXPECT_EQ(formatNameOf("<?xml version=\"1.0\"?><!-- <x> --><!DOCTYPE  ecu-mem SYSTEM \"a.dtd\"><b/>"), u"ecu-mem");
  EXPECT_EQ(formatNameOf("<?pi <no>?>\n<!--c--><root a='1'>"), u"root");
  EXPECT_EQ(formatNameOf("<list/>"), u"list");
  EXPECT_EQ(formatNameOf("<!DOCTYPE d[<!ELEMENT d ANY>]><d/>"), u"d");
  EXPECT_EQ(formatNameOf("<1bad>"), u"");
  EXPECT_EQ(formatNameOf(""), u"");
  EXPECT_EQ(formatNameOf("<!-- never closed"), u"");
}

TEST(InputSource, PrescanOfALongPrologDoesNotDisturbReading)
{
  std::string prolog = "<!--" + std::string(200000, 'x') + "-->";
  std::string bytes = prolog + "<late/>";
  std::istringstream stream(bytes);
  TInputSource source(&stream, u"", u"");
  EXPECT_EQ(source.formatName(), u"late");
  std::u16string units;
  for (std::u16string_view run = source.nextUnits(); !run.empty(); run = source.nextUnits())
    units += run;
  EXPECT_EQ(units.size(), bytes.size());
  EXPECT_EQ(units.substr(units.size() - 7), u"<late/>");
}

} // namespace
} // namespace xml

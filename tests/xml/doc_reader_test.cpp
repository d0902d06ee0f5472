#include "xml/doc_reader.h"

#include <gtest/gtest.h>

#include "parse_helpers.h"
#include "xml/input_source.h"
#include "xml/memory_stream.h"

namespace xml {
namespace {

using testing::parseOutcome;

using testing::TOutcomeCase;

// Token-level syntax: what the reader itself accepts or refuses.
TEST(DocReader, TokenSyntax)
{
  const TOutcomeCase cases[] = {
      {"<a>x &gt; y</a>", "ok"},
      {"<a b='x>y'/>", "ok"},
      {"<a>1 > 0</a>", "ok"},
      {"<a></a >", "ok"},
      {"<a><!----></a>", "ok"},
      {"<a><!--->--></a>", "ok"},
      {"<a><?pi?><?pi  data ?></a>", "ok"},
      {"<a></a b>", "EParserInvalidEndTagError: Invalid end tag error."},
      {"<a", "EParserNotInRootError: Not in root error."},
      {"<a>x & y</a>", "EParserNotInRootError: Not in root error."},
      {"<a/>text", "EParserNotInRootError: Not in root error."},
      {"<a>\x01</a>", "EParserInvalidCharacterError: Invalid character error."},
      {"<a>\xC3</a>", "EParserInvalidCharacterError: Invalid character error: Invalid UTF-8 sequence at position 4."},
      {"<a>&amp <b/>;</a>", "EParserInvalidEntityNameError: Invalid entity name error."},
      {"<a b='1'c='2'/>", "EParserMissingStartTagError: Invalid start tag error."},
  };
  for (const TOutcomeCase& c : cases)
    EXPECT_EQ(parseOutcome(c.input), c.outcome) << c.input;
}

// An encoding we cannot read, or one the bytes contradict, ends the parse:
// reading on in another encoding would change the text unseen.
TEST(DocReader, DeclaredEncodingsMustBeReadableAndMatchTheBytes)
{
  std::string utf16("\xFF\xFE", 2);
  for (char c : std::string("<?xml version='1.0' encoding='UTF-8'?><a/>"))
    utf16 += std::string{c, '\0'};
  const std::pair<std::string, std::string> cases[] = {
      {"<?xml version='1.0' encoding='cp1252'?><a>\x80\x9F</a>", "ok"},
      {"<?xml version='1.0' encoding='windows-9999'?><a/>",
       "EParserInvalidXmlDeclarationError: Unknown encoding \"windows-9999\" error."},
      {"<?xml version='1.0' encoding='US-ASCII'?><a>\xE4</a>",
       "EParserInvalidCharacterError: Invalid character error: Invalid US-ASCII sequence \"\xC3\xA4\"."},
      {"<?xml version='1.0' encoding='windows-1252'?><a>\x81</a>",
       "EParserInvalidCharacterError: Invalid character error: Invalid cp1252 sequence \"\xC2\x81\"."},
      {"<?xml version='1.0' encoding='UTF-16'?><a/>",
       "EParserInvalidXmlDeclarationError: Encoding \"UTF-16\" does not match the document error."},
      {"\xEF\xBB\xBF<?xml version='1.0' encoding='ISO-8859-1'?><a/>",
       "EParserInvalidXmlDeclarationError: Encoding \"ISO-8859-1\" does not match the document error."},
      {utf16, "EParserInvalidXmlDeclarationError: Encoding \"UTF-8\" does not match the document error."},
  };
  for (const auto& [input, outcome] : cases)
    EXPECT_EQ(parseOutcome(input), outcome) << input;
}

TEST(DocReader, XmlDeclarationRules)
{
  const TOutcomeCase cases[] = {
      {"<?xml version='1.0'?><a/>", "ok"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<a/>", "ok"},
      {"<?xml version = '1.0' standalone='no' ?><a/>", "ok"},
      {"\n<?xml version='1.0'?><a/>", "EParserInvalidXmlDeclarationError: Character(s) before xml-declaration error."},
      {"<!----><?xml version='1.0'?><a/>",
       "EParserInvalidXmlDeclarationError: Character(s) before xml-declaration error."},
      {"<?xml encoding='UTF-8'?><a/>", "EParserInvalidXmlDeclarationError: Invalid xml-declaration error."},
      {"<?xml version='1.0' standalone='yes' encoding='UTF-8'?><a/>",
       "EParserInvalidXmlDeclarationError: Invalid xml-declaration error."},
      {"<?xml version='1.0' other='x'?><a/>", "EParserInvalidXmlDeclarationError: Invalid xml-declaration error."},
      {"<?xml version='1.0' encoding=''?><a/>", "EParserInvalidXmlDeclarationError: Invalid xml-declaration error."},
      {"<?xml version='1.0' standalone='maybe'?><a/>",
       "EParserInvalidXmlDeclarationError: Invalid xml-declaration error."},
      {"<?xml version=\"1.0?><a/>", "EParserMissingQuotationMarkError: Missing quotation mark error."},
      {"<?xml version='1.0'encoding='UTF-8'?><a/>", "EParserMissingWhiteSpaceError: Missing white-space error."},
      {"<?xml version'1.0'?><a/>", "EParserMissingEqualitySignError: Missing equality sign error."},
      {"<?xml version=='1.0'?><a/>", "EParserDoubleEqualitySignError: Double equality sign error."},
      {"<?xml version='1.0' version='1.0'?><a/>", "EParserDoubleAttributeNameError: Double attribute name error."},
      {"<?xml version='1.0' 1a='x'?><a/>", "EParserInvalidAttributeNameError: Invalid attribute name error."},
      {"<?xml version='1<0'?><a/>", "EParserInvalidAttributeValueError: Invalid attribute value error."},
      {"<?xml version='&#0;'?><a/>", "EParserInvalidCharRefError: Invalid character reference error."},
      {"<?xml?><a/>", "EParserInvalidProcessingInstructionError: Invalid processing instruction error."},
  };
  for (const TOutcomeCase& c : cases)
    EXPECT_EQ(parseOutcome(c.input), c.outcome) << c.input;
}

TEST(DocReader, DoctypeDeclarationForms)
{
  const TOutcomeCase cases[] = {
      {"<!DOCTYPE a><a/>", "ok"},
      {"<!DOCTYPE a SYSTEM 'a.dtd'><a/>", "ok"},
      {"<!DOCTYPE a PUBLIC \"-//K//DTD x 1.2//EN\" \"ecum0102.dtd\"><a/>", "ok"},
      {"<!DOCTYPE a SYSTEM \"x[y].dtd\" [ ]><a/>", "ok"},
      {"<!DOCTYPE a [<!-- ] --><?pi ]?><!ENTITY e ']'>]><a/>", "ok"},
      {"<!DOCTYPE a PUBLIC \"-//K//EN\"><a/>", "EParserInvalidDoctypeError: Invalid doctype declaration error."},
      {"<!DOCTYPE a SYSTEM><a/>", "EParserInvalidDoctypeError: Invalid doctype declaration error."},
      {"<!DOCTYPE 1a><a/>", "EParserInvalidDoctypeError: Invalid doctype declaration error."},
      {"<!DOCTYPE a SYSTEM 'x' junk><a/>", "EParserInvalidDoctypeError: Invalid doctype declaration error."},
      {"<!DOCTYPE a PUBLIC '{bad}' 'x'><a/>", "EParserInvalidDoctypeError: Invalid doctype declaration error."},
      {"<!DOCTYPEa><a/>", "EParserInvalidDoctypeError: Invalid doctype declaration error."},
  };
  for (const TOutcomeCase& c : cases)
    EXPECT_EQ(parseOutcome(c.input), c.outcome) << c.input;
}

TEST(DocReader, ErrorRecordsCarryTheTokenAndItsPositions)
{
  TDomImplementation dom;
  TDomParser parser(&dom);
  std::string text = "<list>\n  <Werk a='1' a='2'/>\n</list>";
  try {
    parser.parseBuffer(text.data(), text.size());
    FAIL();
  } catch (const EParserFatalError& e) {
    EXPECT_STREQ(e.what(), "EParserFatalError: Fatal Error.");
  }
  ASSERT_EQ(parser.errorHandler().errors().size(), 1u);
  const TParserErrorRecord& record = parser.errorHandler().errors().front();
  EXPECT_EQ(record.errorClassName(), "EParserMissingStartTagError");
  EXPECT_EQ(record.startLine(), 2u);
  EXPECT_EQ(record.startColumn(), 3u);
  EXPECT_EQ(record.endLine(), 2u);
  EXPECT_EQ(record.endColumn(), 21u);
  EXPECT_EQ(record.sourceText(), u"<Werk a='1' a='2'/>");
  EXPECT_EQ(record.getText(TErrorLanguage::English),
            u"FATAL ERROR in line 2, between position 3 and 21 -- End-tag without start-tag: <Werk a='1' a='2'/>");
}

// A handler that counts tokens, to see the reader's events on their own.
class TEventLog : public TContentHandler {
public:
  void startElement(TDomParser*, const TLocator*, std::u16string_view name, std::u16string_view attributes) override
  {
    log += u"<" + std::u16string(name) + u"|" + std::u16string(attributes) + u">";
  }
  void endElement(TDomParser*, const TLocator*, std::u16string_view name) override
  {
    log += u"</" + std::u16string(name) + u">";
  }
  void characters(TDomParser*, const TLocator*, std::u16string_view text) override
  {
    log += u"[" + std::u16string(text) + u"]";
  }
  void entityRef(TDomParser*, const TLocator*, std::u16string_view name) override
  {
    log += u"&" + std::u16string(name) + u";";
  }
  void charRef(TDomParser*, const TLocator*, std::u16string_view token) override { log += u"#" + std::u16string(token); }
  void startDocument(TDomParser*, std::u16string_view formatName) override
  {
    log += u"{" + std::u16string(formatName) + u"}";
  }
  std::u16string log;
};

TEST(DocReader, EventsForEachToken)
{
  std::string text = "<r a=\"1\" b='2' >t&amp;u&#65;<e/>\r\n</r >  ";
  TMemoryStream stream({text});
  TInputSource source(&stream, u"", u"");
  TEventLog log;
  TDocReader reader;
  reader.setContentHandler(&log);
  EXPECT_TRUE(reader.parse(nullptr, source));
  EXPECT_EQ(log.log, u"{r}<r|a=\"1\" b='2'>[t]&amp;[u]#&#65;<e|></e>[\n]</r>");
}

TEST(DocReader, WithoutAnErrorHandlerParseReturnsFalse)
{
  std::string text = "<a></b>";
  TMemoryStream stream({text});
  TInputSource source(&stream, u"", u"");
  TDocReader reader;
  TDocBuilder builder;
  TDomImplementation dom;
  builder.setReferenceNode(dom.createDocument(u"x", nullptr));
  reader.setContentHandler(&builder);
  EXPECT_FALSE(reader.parse(nullptr, source));
}

} // namespace
} // namespace xml

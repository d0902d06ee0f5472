#include "xml/dom_parser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "parse_helpers.h"
#include "xml/stream_exceptions.h"

namespace xml {
namespace {

class DomParserTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    directory_ = std::filesystem::temp_directory_path() /
                 ("xml_parser_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }
  std::string write(const std::string& name, const std::string& content)
  {
    std::filesystem::path path = directory_ / name;
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
  }
  template <class E, class F>
  std::string raised(F&& action)
  {
    try {
      action();
    } catch (const E& e) {
      return e.what();
    }
    return "nothing raised";
  }

  std::filesystem::path directory_;
  TDomImplementation dom_;
  TDomParser parser_{&dom_};
};

const char* const kTargetList = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                                "<FTPSEND>\n"
                                "  <Werk compress=\"no\"><NAME>M\xFCnchen</NAME><SHORTNAME>MUC</SHORTNAME></Werk>\n"
                                "  <Werk compress=\"YES\" stowa=\"yes\"><name>STOWA</name></Werk>\n"
                                "  <IntranetUrl>http://intra/</IntranetUrl><ReadmeDate>01.12.2026</ReadmeDate>\n"
                                "</FTPSEND>\n";

TEST_F(DomParserTest, ReadsATargetListTheWayTheProgramDoes)
{
  std::string file = write("ftpsend.xml", kTargetList);
  TDomDocument* doc = parser_.parseFile(file);
  EXPECT_EQ(doc->fileName(), file);
  TDomNodeList* werke = doc->documentElement()->getElementsByTagName(u"Werk");
  ASSERT_EQ(werke->length(), 2);
  TDomNode* first = werke->item(0);
  EXPECT_EQ(first->attributes()->getNamedItem(u"compress")->firstChild()->nodeValue(), u"no");
  EXPECT_EQ(first->attributes()->getNamedItem(u"stowa"), nullptr);
  TDomNodeList* children = first->childNodes();
  ASSERT_EQ(children->length(), 2);
  EXPECT_EQ(children->item(0)->nodeType(), 1);
  EXPECT_EQ(children->item(0)->nodeName(), u"NAME");
  EXPECT_EQ(children->item(0)->firstChild()->nodeValue(), u"M\u00FCnchen");
  EXPECT_EQ(werke->item(1)->attributes()->getNamedItem(u"stowa")->firstChild()->nodeValue(), u"yes");
  EXPECT_EQ(doc->documentElement()->getElementsByTagName(u"ReadmeDate")->item(0)->firstChild()->nodeValue(),
            u"01.12.2026");
  dom_.freeDocument(doc);
  EXPECT_EQ(dom_.documents()->length(), 0);
}

TEST_F(DomParserTest, FindsTheRemoteNameFieldsWithATreeWalker)
{
  std::string file = write("c.cnt", "<!DOCTYPE ecu PUBLIC \"-//K//DTD ECU 1.2//EN\" \"ecum0102.dtd\">\n"
                                    "<ecu><Project-Info><ecu-ident>E1</ecu-ident>\n"
                                    "<sw-ident>AB &amp; <b>1</b></sw-ident></Project-Info></ecu>\n");
  TDomDocument* doc = parser_.parseFile(file);
  TDomTreeWalker* walker = doc->createTreeWalker(doc, {1, 9}, true, nullptr);
  while (walker->nextNode() != nullptr && walker->currentNode()->nodeName() != u"Project-Info") {
  }
  ASSERT_NE(walker->currentNode(), doc);
  walker->firstChild();
  while (walker->currentNode()->nodeName() != u"sw-ident")
    ASSERT_NE(walker->nextNode(), nullptr);
  std::u16string value;
  TDomNodeList* children = walker->currentNode()->childNodes();
  for (int i = 0; i < children->length(); ++i)
    value += children->item(i)->markup();
  EXPECT_EQ(value, u"AB &amp; <b>1</b>");
}

TEST_F(DomParserTest, MissingArgumentsAreAccessViolations)
{
  TDomParser unwired;
  EXPECT_EQ(raised<EAccessViolation>([&] { unwired.parseFile("x.xml"); }), "DOMImplementation not specified.");
  EXPECT_EQ(raised<EAccessViolation>([&] { parser_.parseFile(""); }), "Filename not specified.");
  EXPECT_EQ(raised<EAccessViolation>([&] { parser_.parseBuffer(nullptr, 3); }), "Pointer not specified.");
  EXPECT_EQ(raised<EAccessViolation>([&] { parser_.parseStream(nullptr); }), "Stream not specified.");
  EXPECT_EQ(raised<EAccessViolation>([&] { parser_.parseWideStringList(nullptr); }), "Stream not specified.");
  EXPECT_EQ(raised<EAccessViolation>([&] { parser_.parseString(""); }), "Empty string.");
  EXPECT_EQ(raised<EAccessViolation>([&] { parser_.parseWideString(u""); }), "Empty string.");
  unwired.setDOMImpl(&dom_);
  EXPECT_EQ(unwired.DOMImpl(), &dom_);
}

TEST_F(DomParserTest, AMissingFileRaisesTheStreamError)
{
  std::string missing = (directory_ / "absent.xml").string();
  EXPECT_EQ(raised<EFOpenError>([&] { parser_.parseFile(missing); }),
            "Cannot open file \"" + missing + "\". No such file or directory");
}

TEST_F(DomParserTest, AFailedParseLeavesNoDocumentAndRecordsWhy)
{
  std::string file = write("bad.xml", "<a>\n<b></a>");
  EXPECT_EQ(raised<EParserFatalError>([&] { parser_.parseFile(file); }), "EParserFatalError: Fatal Error.");
  EXPECT_EQ(dom_.documents()->length(), 0);
  ASSERT_EQ(parser_.errorHandler().errors().size(), 1u);
  EXPECT_EQ(parser_.errorHandler().errors()[0].systemId(), std::u16string(file.begin(), file.end()));
  EXPECT_EQ(parser_.errorHandler().errors()[0].startLine(), 2u);
  dom_.freeDocument(parser_.parseFile(write("good.xml", "<a/>")));
  EXPECT_TRUE(parser_.errorHandler().errors().empty());
}

TEST_F(DomParserTest, ErrorsInTheInternalSubsetStandWhereTheyAreInTheFile)
{
  std::string file = write("subset.xml", "<?xml version=\"1.0\"?>\n<!DOCTYPE a [\n  <!ENTITY e 'x'>\n  <!FOO>\n]>\n<a/>\n");
  EXPECT_THROW(parser_.parseFile(file), EParserFatalError);
  const TParserErrorRecord& record = parser_.errorHandler().errors().at(0);
  EXPECT_EQ(record.errorClassName(), "EParserUnknownDeclarationTypeError");
  EXPECT_EQ(record.systemId(), std::u16string(file.begin(), file.end()));
  EXPECT_EQ(record.startLine(), 4u);
  EXPECT_EQ(record.startColumn(), 3u);
  EXPECT_EQ(record.endLine(), 4u);
  EXPECT_EQ(record.endColumn(), 5u);
}

TEST_F(DomParserTest, AnEmptyFileHasNoRoot)
{
  std::string file = write("empty.xml", "");
  EXPECT_THROW(parser_.parseFile(file), EParserFatalError);
  ASSERT_EQ(parser_.errorHandler().errors().size(), 1u);
  EXPECT_EQ(parser_.errorHandler().errors()[0].errorClassName(), "EParserRootNotFoundError");
  EXPECT_EQ(dom_.documents()->length(), 0);
}

TEST_F(DomParserTest, EveryInputKindGivesTheSameDocument)
{
  std::string text = "<r a='\xC3\xA4'>t</r>";
  std::u16string wide = u"<r a='\u00E4'>t</r>";
  std::istringstream stream(text);
  std::vector<std::u16string> pieces = {u"<r a='\u00E4'", u">t</r>"};
  std::vector<TDomDocument*> documents = {parser_.parseString(text), parser_.parseBuffer(text.data(), text.size()),
                                          parser_.parseStream(&stream), parser_.parseWideString(wide),
                                          parser_.parseWideStringList(&pieces)};
  for (TDomDocument* doc : documents)
    EXPECT_EQ(doc->documentElement()->markup(), u"<r a=\"\u00E4\">t</r>");
  EXPECT_EQ(dom_.documents()->length(), 5);
}

// The declaration decides how bytes read; a wide string is decoded already,
// so there it names nothing.
TEST_F(DomParserTest, AWindows1250ContainerReadsAsWindows1250)
{
  std::string text = "<?xml version=\"1.0\" encoding=\"windows-1250\"?><sw-ident>\x8A\x9Akoda-\xB9</sw-ident>";
  TDomDocument* doc = parser_.parseBuffer(text.data(), text.size());
  EXPECT_EQ(doc->documentElement()->firstChild()->nodeValue(), u"\u0160\u0161koda-\u0105");
  TDomDocument* again = parser_.parseWideString(doc->markup());
  EXPECT_EQ(again->documentElement()->markup(), doc->documentElement()->markup());
}

TEST_F(DomParserTest, IntoVariantsFillTheGivenNode)
{
  TDomDocument* doc = dom_.createDocument(u"old", nullptr);
  parser_.parseStringInto("<new/>", doc, u"", u"");
  EXPECT_EQ(doc->documentElement()->nodeName(), u"new");
  parser_.parseWideStringInto(u"<wide/>", doc, u"", u"");
  EXPECT_EQ(doc->documentElement()->nodeName(), u"wide");
  parser_.parseStringListInto({"<li", "st/>"}, doc, u"", u"");
  EXPECT_EQ(doc->documentElement()->nodeName(), u"list");
  std::string buffer = "<buffer/>";
  parser_.parseBufferInto(buffer.data(), buffer.size(), doc, u"", u"");
  EXPECT_EQ(doc->documentElement()->nodeName(), u"buffer");
  EXPECT_EQ(dom_.documents()->length(), 1);
  parser_.parseInternalSubsetStringInto("<!ENTITY e 'x'>", nullptr);
}

TEST_F(DomParserTest, WithoutAnErrorHandlerTheFrontEndReportsParserError)
{
  parser_.setErrorHandler(nullptr);
  EXPECT_EQ(raised<EParserException>([&] { parser_.parseString("<a>"); }), "Parser error.");
  EXPECT_EQ(dom_.documents()->length(), 0);
}

TEST_F(DomParserTest, ADocumentParsedTwiceIsTwoDocumentsUntilFreed)
{
  std::string file = write("twice.xml", kTargetList);
  TDomDocument* first = parser_.parseFile(file);
  TDomDocument* second = parser_.parseFile(file);
  EXPECT_NE(first, second);
  dom_.freeDocument(first);
  dom_.freeDocument(second);
  EXPECT_EQ(dom_.documents()->length(), 0);
}

} // namespace
} // namespace xml

#include "xml/doc_builder.h"

#include <gtest/gtest.h>

#include "parse_helpers.h"

namespace xml {
namespace {

using testing::parseOutcome;

using testing::TOutcomeCase;

TEST(DocBuilder, TreeLevelRules)
{
  const TOutcomeCase cases[] = {
      {"", "EParserRootNotFoundError: Root not found error."},
      {"  \n <!-- only a comment --> ", "EParserRootNotFoundError: Root not found error."},
      {"<a>", "EParserMissingEndTagError: Missing end tag error."},
      {"<a><b></a>", "EParserMissingStartTagError: Missing start tag error."},
      {"</a>", "EParserMissingStartTagError: Missing start tag error."},
      {"<a/><b/>", "EParserDoubleRootElementError: Double root element error."},
      {"<a/><!DOCTYPE a>", "EParserWrongOrderError: Wrong order declaration error."},
      {"<!DOCTYPE a><!DOCTYPE a><a/>", "EParserDoubleDoctypeError: Double doctype declaration error."},
      {"x<a/>", "EParserInvalidCharacterError: Invalid character error."},
      {"&#65;<a/>", "EParserInvalidCharacterError: Invalid character error."},
      {"&amp;<a/>", "EParserInvalidEntityNameError: Invalid entity name error."},
      {"<![CDATA[x]]><a/>", "EParserInvalidCharacterError: Invalid character error."},
      {"<a>]]></a>", "EParserInvalidCharacterError: Invalid character error."},
      {"<a><!-- a -- b --></a>", "EParserInvalidCharacterError: Invalid character error."},
      {"<a><!-- a ---></a>", "EParserInvalidCharacterError: Invalid character error."},
      {"<a>&#0;</a>", "EParserInvalidCharRefError: Invalid character reference error."},
      {"<a>&#X41;</a>", "EParserInvalidCharRefError: Invalid character reference error."},
      {"<a>&1x;</a>", "EParserInvalidEntityNameError: Invalid entity name error."},
      {"<a><?xml-stylesheet href='x'?><?XmL x?></a>",
       "EParserInvalidProcessingInstructionError: Invalid processing instruction error."},
      {"<a><?1pi?></a>", "EParserInvalidProcessingInstructionError: Invalid processing instruction error."},
      {"<1a/>", "EParserInvalidElementNameError: Invalid element name error."},
      {"<a b='<'/>", "EParserMissingStartTagError: Invalid start tag error."},
      {"<a b='&'/>", "EParserMissingStartTagError: Invalid start tag error."},
      {"<a b='x' b='y'/>", "EParserMissingStartTagError: Invalid start tag error."},
      {"<a b=x/>", "EParserMissingStartTagError: Invalid start tag error."},
      {"<a b='\xED\xA0\x80'/>",
       "EParserInvalidCharacterError: Invalid character error: Invalid UTF-8 sequence at position 6."},
      {"<a>&#xD83D;&#xDE00;</a>", "EParserInvalidCharRefError: Invalid character reference error."},
      {"<a>\xF0\x9F\x98\x80<![CDATA[<&>]]>&#x1F600;</a>", "ok"},
      {"\xEF\xBB\xBF<a/>", "ok"},
  };
  for (const TOutcomeCase& c : cases)
    EXPECT_EQ(parseOutcome(c.input), c.outcome) << c.input;
}

// What XML 1.0 asks of entity references, judged on the declarations while
// the references stay nodes.
TEST(DocBuilder, EntityReferenceRules)
{
  const char* const undeclared = "EParserInvalidEntityNameError: Undeclared entity error.";
  const char* const lessThan = "EParserInvalidAttributeValueError: Less-than sign in attribute value error.";
  const TOutcomeCase cases[] = {
      {"<a>&amp;&lt;&gt;&apos;&quot;</a>", "ok"},
      {"<a>&e;</a>", undeclared},
      {"<a v='&e;'/>", undeclared},
      {"<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;&f;</a>", undeclared},
      {"<!DOCTYPE a [<!ENTITY e '&f;'>]><a v='&e;'/>", undeclared},
      {"<!DOCTYPE a [<!ATTLIST a v CDATA '&e;'><!ENTITY e 'x'>]><a/>", undeclared},
      {"<!DOCTYPE a [<!ENTITY e 'x'><!ATTLIST a v CDATA '&e;'>]><a/>", "ok"},
      // The declaration may be where a processor need not look.
      {"<!DOCTYPE a SYSTEM 'a.dtd'><a>&e;</a>", "ok"},
      {"<!DOCTYPE a [<!ENTITY % p ''>%p;]><a v='&e;'/>", "ok"},
      {"<?xml version='1.0' standalone='yes'?><!DOCTYPE a SYSTEM 'a.dtd'><a>&e;</a>", undeclared},
      {"<?xml version='1.0' standalone='yes'?><!DOCTYPE a [<!ENTITY % p '<!ENTITY e \"x\">'>%p;]><a>&e;</a>",
       undeclared},
      {"<!DOCTYPE a [<!ENTITY e '&e;'>]><a/>", "ok"},
      {"<!DOCTYPE a [<!ENTITY e '&e;'>]><a>&e;</a>", "EParserInvalidEntityNameError: Recursive entity reference error."},
      {"<!DOCTYPE a [<!ENTITY e 'x&f;'><!ENTITY f '<b>&e;</b>'>]><a>&e;</a>",
       "EParserInvalidEntityNameError: Recursive entity reference error."},
      {"<!DOCTYPE a [<!ENTITY e '&f;'><!ENTITY f '&e;'>]><a v='&e;'/>",
       "EParserInvalidEntityNameError: Recursive entity reference error."},
      {"<!DOCTYPE a [<!ENTITY e '</b><b>'>]><a><b>&e;</b></a>",
       "EParserInvalidEntityNameError: Entity content not well-formed error."},
      {"<!DOCTYPE a [<!ENTITY e '&#38;'>]><a>&e;#38;</a>",
       "EParserInvalidEntityNameError: Entity content not well-formed error."},
      {"<!DOCTYPE a [<!ENTITY e '<?xml version=\"1.0\"?>x'>]><a>&e;</a>",
       "EParserInvalidXmlDeclarationError: XML declaration in entity error."},
      {"<!DOCTYPE a [<!NOTATION n SYSTEM 'n'><!ENTITY e SYSTEM 'e' NDATA n>]><a>&e;</a>",
       "EParserInvalidEntityNameError: Unparsed entity reference error."},
      {"<!DOCTYPE a [<!ENTITY e SYSTEM 'e.xml'>]><a>&e;</a>", "ok"},
      {"<!DOCTYPE a [<!ENTITY e SYSTEM 'e.xml'><!ENTITY f 'x&e;'>]><a v='&f;'/>",
       "EParserInvalidAttributeValueError: External entity in attribute value error."},
      {"<!DOCTYPE a [<!ENTITY e SYSTEM 'e'><!ATTLIST a v CDATA '&e;'>]><a/>",
       "EParserInvalidAttributeValueError: External entity in attribute value error."},
      {"<!DOCTYPE a [<!ENTITY e '<b/>'>]><a v='&e;'/>", lessThan},
      {"<!DOCTYPE a [<!ENTITY e '&#60;'>]><a v='&e;'/>", lessThan},
      {"<!DOCTYPE a [<!ENTITY e '&#60;'><!ENTITY f '<b c=\"&e;\"/>'>]><a>&f;</a>", lessThan},
      {"<!DOCTYPE a [<!ENTITY e '&#38;#60;'>]><a v='&e;'/>", "ok"},
      {"<!DOCTYPE a [<!ENTITY e '&#38;'>]><a v='&e;'/>",
       "EParserInvalidAttributeValueError: Invalid attribute value error."},
  };
  for (const TOutcomeCase& c : cases)
    EXPECT_EQ(parseOutcome(c.input), c.outcome) << c.input;
}

class ParsedTree : public ::testing::Test {
protected:
  TDomDocument* parse(const std::string& text) { return parser_.parseBuffer(text.data(), text.size()); }

  TDomImplementation dom_;
  TDomParser parser_{&dom_};
};

TEST_F(ParsedTree, EntityReferencesStayNodesBetweenTexts)
{
  TDomElement* root = parse("<a>one &amp; two</a>")->documentElement();
  TDomNodeList* children = root->childNodes();
  ASSERT_EQ(children->length(), 3);
  EXPECT_EQ(children->item(0)->nodeValue(), u"one ");
  EXPECT_EQ(children->item(1)->nodeType(), ENTITY_REFERENCE_NODE);
  EXPECT_EQ(children->item(1)->nodeName(), u"amp");
  EXPECT_EQ(children->item(2)->nodeValue(), u" two");
  EXPECT_EQ(root->markup(), u"<a>one &amp; two</a>");
}

TEST_F(ParsedTree, TextAndCharacterReferencesMergeIntoOneNode)
{
  TDomElement* root = parse("<a>x&#60;y&#x10000;z\r\nw</a>")->documentElement();
  ASSERT_EQ(root->childNodes()->length(), 1);
  EXPECT_EQ(root->firstChild()->nodeValue(), u"x<y\U00010000z\nw");
}

TEST_F(ParsedTree, WhiteSpaceIsKeptInsideAndDroppedOutside)
{
  TDomDocument* doc = parse(" \n<?pi x?>\n<a>\n  <b/>\n</a>\n<!-- end -->\n");
  ASSERT_EQ(doc->childNodes()->length(), 3);
  EXPECT_EQ(doc->firstChild()->nodeType(), PROCESSING_INSTRUCTION_NODE);
  EXPECT_EQ(doc->lastChild()->nodeType(), COMMENT_NODE);
  TDomElement* root = doc->documentElement();
  ASSERT_EQ(root->childNodes()->length(), 3);
  EXPECT_EQ(root->firstChild()->nodeValue(), u"\n  ");
}

TEST_F(ParsedTree, AttributesKeepTheirValuesAndReferences)
{
  TDomElement* root = parse("<w compress='yes' empty='' tab='a\tb' r='x&amp;&#65;y'/>")->documentElement();
  TDomNamedNodeMap* attributes = root->attributes();
  ASSERT_EQ(attributes->length(), 4);
  EXPECT_EQ(attributes->getNamedItem(u"compress")->firstChild()->nodeValue(), u"yes");
  TDomNode* empty = attributes->getNamedItem(u"empty");
  ASSERT_NE(empty->firstChild(), nullptr);
  EXPECT_EQ(empty->firstChild()->nodeValue(), u"");
  EXPECT_EQ(root->getAttribute(u"tab"), u"a\tb");
  TDomNode* withReferences = attributes->getNamedItem(u"r");
  ASSERT_EQ(withReferences->childNodes()->length(), 3);
  EXPECT_EQ(withReferences->childNodes()->item(1)->nodeName(), u"amp");
  EXPECT_EQ(withReferences->nodeValue(), u"x&Ay");
  EXPECT_EQ(attributes->getNamedItem(u"stowa"), nullptr);
}

// 20,000 character references in one value: the document keeps one text of
// the value's length, not every intermediate copy (which would take some
// 800 MB here).
TEST_F(ParsedTree, ManyCharacterReferencesInOneValueTakeMemoryOnceOver)
{
  std::string value;
  for (int i = 0; i < 20000; ++i)
    value += "&#62;";
  TDomDocument* doc = parse("<a b='x" + value + "&amp;" + value + "'/>");
  TDomNode* attribute = doc->documentElement()->attributes()->getNamedItem(u"b");
  ASSERT_EQ(attribute->childNodes()->length(), 3);
  EXPECT_EQ(attribute->firstChild()->nodeValue(), u"x" + std::u16string(20000, u'>'));
  EXPECT_EQ(attribute->lastChild()->nodeValue(), std::u16string(20000, u'>'));
  EXPECT_LT(doc->arena().bytesReserved(), 4u << 20);
}

TEST_F(ParsedTree, DeclarationsAndNodesOfEveryKind)
{
  TDomDocument* doc = parse("<?xml version='1.0' encoding='ISO-8859-1'?>\n<!DOCTYPE r SYSTEM 'r.dtd'>\n"
                            "<r><![CDATA[<raw>]]><?t d?><!--c-->\xE4</r>");
  ASSERT_NE(doc->xmlDeclaration(), nullptr);
  EXPECT_EQ(doc->xmlDeclaration()->encoding(), u"ISO-8859-1");
  ASSERT_NE(doc->doctype(), nullptr);
  EXPECT_EQ(doc->doctype()->systemId(), u"r.dtd");
  EXPECT_EQ(doc->documentElement()->markup(), u"<r><![CDATA[<raw>]]><?t d?><!--c-->\u00E4</r>");
  EXPECT_EQ(doc->markup(),
            u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE r SYSTEM \"r.dtd\">\n"
            u"<r><![CDATA[<raw>]]><?t d?><!--c-->\u00E4</r>\n");
}

TEST(DocBuilderEvents, XmlDeclarationAfterAnotherNodeIsOutOfOrder)
{
  TDomImplementation dom;
  TDomDocument* doc = dom.createDocument(u"x", nullptr);
  TDocBuilder builder;
  builder.setReferenceNode(doc);
  builder.startDocument(nullptr, u"");
  builder.comment(nullptr, nullptr, u"first");
  try {
    builder.xmlDeclaration(nullptr, nullptr, u"1.0", u"", u"");
    FAIL();
  } catch (const EParserWrongOrderError& e) {
    EXPECT_STREQ(e.what(), "Wrong order error.");
  }
}

TEST(DocBuilderEvents, WithoutAReferenceEverythingIsIgnored)
{
  TDocBuilder builder;
  builder.startDocument(nullptr, u"x");
  builder.startElement(nullptr, nullptr, u"1 bad", u"");
  builder.characters(nullptr, nullptr, u"text");
  builder.endDocument(nullptr);
  EXPECT_EQ(builder.referenceNode(), nullptr);
}

TEST(DocBuilderLimits, DeepNestingParsesAndFreesWithoutRecursion)
{
  const int depth = 1000000;
  std::string text;
  text.reserve(depth * 7);
  for (int i = 0; i < depth; ++i)
    text += "<a>";
  for (int i = 0; i < depth; ++i)
    text += "</a>";
  TDomImplementation dom;
  TDomParser parser(&dom);
  TDomDocument* doc = parser.parseBuffer(text.data(), text.size());
  EXPECT_EQ(doc->getElementsByTagName(u"a")->length(), depth);
  EXPECT_EQ(doc->documentElement()->markup().size(), text.size());
  dom.freeDocument(doc);
}

TEST(DocBuilderLimits, HugeAttributeCountsAreRefused)
{
  std::string text = "<a";
  for (int i = 0; i < 70000; ++i)
    text += " a" + std::to_string(i) + "=''";
  text += "/>";
  EXPECT_EQ(parseOutcome(text), "EParserMissingStartTagError: Invalid start tag error.");
  text = "<a";
  for (int i = 0; i < 5000; ++i)
    text += " a" + std::to_string(i) + "=''";
  EXPECT_EQ(parseOutcome(text + " a4999='again'/>"), "EParserMissingStartTagError: Invalid start tag error.");
  EXPECT_EQ(parseOutcome(text + "/>"), "ok");
}

} // namespace
} // namespace xml

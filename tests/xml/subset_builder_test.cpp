#include "xml/subset_builder.h"

#include <gtest/gtest.h>

#include "parse_helpers.h"

namespace xml {
namespace {

using testing::parseOutcome;
using testing::TRecordingHandler;

using testing::TOutcomeCase;

std::string withSubset(const std::string& subset) { return "<!DOCTYPE a [" + subset + "]><a/>"; }

TEST(SubsetReading, DeclarationSyntax)
{
  const TOutcomeCase cases[] = {
      {"", "ok"},
      {" <!-- c --> <?pi d?> ", "ok"},
      {"<!ELEMENT a (b, (c | d)*, e?)+><!ELEMENT b EMPTY><!ELEMENT c ANY><!ELEMENT d (#PCDATA)>"
       "<!ELEMENT e (#PCDATA | b | c)*>",
       "ok"},
      {"<!ATTLIST a b CDATA #IMPLIED c (x|y) 'x' d NOTATION (n) #REQUIRED e ID #FIXED \"v>w\">", "ok"},
      {"<!ATTLIST a>", "ok"},
      {"<!ENTITY e 'v'><!ENTITY f SYSTEM 'f.xml'><!ENTITY g PUBLIC '-//G//EN' 'g' NDATA n>"
       "<!ENTITY % p 'x'><!NOTATION n PUBLIC '-//N//EN'><!NOTATION m SYSTEM 'm.exe'>",
       "ok"},
      {"<!FOO x>", "EParserUnknownDeclarationTypeError: Invalid declaration error."},
      {"<!ELEMENT a ANY", "EParserUnknownDeclarationTypeError: Invalid declaration error."},
      {"x", "EParserInvalidCharacterError: Invalid character error."},
      {"<!ENTITY e>", "EParserInvalidEntityDeclarationError: Invalid entity declaration error."},
      {"<!ENTITY e v>", "EParserInvalidEntityDeclarationError: Invalid entity declaration error."},
      {"<!ENTITY %p 'x'>", "EParserInvalidEntityDeclarationError: Invalid entity declaration error."},
      {"<!ENTITY % p SYSTEM 'p' NDATA n>", "EParserInvalidEntityDeclarationError: Invalid entity declaration error."},
      {"<!ENTITY e 'a&b'>", "EParserInvalidEntityDeclarationError: Invalid entity declaration error."},
      {"<!ENTITY e '&#0;'>", "EParserInvalidEntityDeclarationError: Invalid entity declaration error."},
      {"<!ENTITY % p 'x'><!ENTITY e '%p;'>",
       "EParserInvalidEntityDeclarationError: Invalid entity declaration error."},
      {"<!ELEMENT a>", "EParserInvalidElementDeclarationError: Invalid element declaration error."},
      {"<!ELEMENT a (b,|c)>", "EParserInvalidElementDeclarationError: Invalid element declaration error."},
      {"<!ELEMENT a (b|c,d)>", "EParserInvalidElementDeclarationError: Invalid element declaration error."},
      {"<!ELEMENT a (#PCDATA|b)>", "EParserInvalidElementDeclarationError: Invalid element declaration error."},
      {"<!ELEMENT a EMPTY ANY>", "EParserInvalidElementDeclarationError: Invalid element declaration error."},
      {"<!ATTLIST a b FOO #IMPLIED>", "EParserInvalidAttributeDeclarationError: Invalid attribute declaration error."},
      {"<!ATTLIST a b CDATA>", "EParserInvalidAttributeDeclarationError: Invalid attribute declaration error."},
      {"<!ATTLIST a b CDATA '<'>", "EParserInvalidAttributeDeclarationError: Invalid attribute declaration error."},
      {"<!NOTATION n SYSTEM>", "EParserInvalidNotationDeclarationError: Invalid notation declaration error."},
      {"<!NOTATION n FOO 'x.exe'>", "EParserInvalidNotationDeclarationError: Invalid notation declaration error."},
      {"<?xml version='1.0'?>", "EParserInvalidTextDeclarationError: Invalid text-declaration error."},
      {"<?xml?>", "EParserInvalidProcessingInstructionError: Invalid processing instruction error."},
      {"<!-- a -- b -->", "EParserInvalidCharacterError: Invalid character error."},
      {"%undeclared;", "EParserInvalidEntityNameError: Invalid entity name error."},
      {"% p;", "EParserInvalidEntityNameError: Invalid entity name error."},
  };
  for (const TOutcomeCase& c : cases)
    EXPECT_EQ(parseOutcome(withSubset(c.input)), c.outcome) << c.input;
}

class SubsetTree : public ::testing::Test {
protected:
  TDomDocument* parse(const std::string& text)
  {
    parser_.setErrorHandler(&handler_);
    return parser_.parseBuffer(text.data(), text.size());
  }
  TDomEntity* entity(TDomDocument* doc, std::u16string_view name)
  {
    return static_cast<TDomEntity*>(doc->doctype()->entities()->getNamedItem(name));
  }

  TDomImplementation dom_;
  TDomParser parser_{&dom_};
  TRecordingHandler handler_;
};

TEST_F(SubsetTree, AnEmptyLookingSubsetGivesAnEmptySubsetNode)
{
  TDomDocument* doc = parse(withSubset("\n  <!-- c -->\n  <?p x?>\n"));
  TDomDocumentType* doctype = doc->doctype();
  EXPECT_EQ(doctype->internalSubsetNode()->childNodes()->length(), 2);
  EXPECT_EQ(doctype->entities()->length(), 0);
  EXPECT_TRUE(handler_.warnings.empty());
}

TEST_F(SubsetTree, EntitiesGetReplacementTreesThatAttributeValuesRead)
{
  TDomDocument* doc = parse("<!DOCTYPE a [<!ENTITY co 'K &amp; Co'><!ENTITY lt2 'x&#38;#60;y'>"
                            "<!ENTITY tree '<b>t</b>'>]><a v='&co;/&lt2;'>&co;&tree;</a>");
  TDomEntity* co = entity(doc, u"co");
  ASSERT_NE(co, nullptr);
  EXPECT_TRUE(co->usable());
  ASSERT_EQ(co->childNodes()->length(), 3);
  EXPECT_EQ(doc->documentElement()->getAttribute(u"v"), u"K & Co/x<y");
  EXPECT_EQ(entity(doc, u"tree")->firstChild()->nodeName(), u"b");
  EXPECT_EQ(doc->documentElement()->firstChild()->nodeType(), ENTITY_REFERENCE_NODE);
}

TEST_F(SubsetTree, TheFirstOfTwoDeclarationsStaysInForceWithOneWarning)
{
  TDomDocument* doc = parse("<!DOCTYPE a [<!ENTITY e 'first'><!ENTITY e 'second'><!ENTITY % p 'x'><!ENTITY % p 'y'>"
                            "<!NOTATION n SYSTEM 'a'><!NOTATION n SYSTEM 'b'>]><a v='&e;'/>");
  EXPECT_EQ(doc->documentElement()->getAttribute(u"v"), u"first");
  ASSERT_EQ(handler_.warnings.size(), 3u);
  EXPECT_EQ(handler_.warnings[0].className, "EParserDoubleEntityDeclWarning");
  EXPECT_EQ(handler_.warnings[0].message, "Double_Entity_Decl_Warning");
  EXPECT_EQ(handler_.warnings[1].message, "Double_Parameter_Entity_Decl_Warning");
  EXPECT_EQ(handler_.warnings[2].message, "Double_Notation_Decl_Warning");
  EXPECT_EQ(doc->doctype()->internalSubsetNode()->childNodes()->length(), 6);
}

// Names are found through a hash past a few entries; what the lookups find
// and the order the DOM shows stay as with a search from the start.
TEST_F(SubsetTree, ManyDeclarationsKeepTheirOrderAndTheFirstOfEachNameBinds)
{
  constexpr int kCount = 5000;
  std::string subset;
  std::string attributeList = "<!ATTLIST a";
  for (int i = 0; i < kCount; ++i) {
    std::string n = std::to_string(i);
    subset += "<!ENTITY e" + n + " 'v" + n + "'><!NOTATION n" + n + " SYSTEM 's" + n + "'>";
    attributeList += " d" + n + " CDATA 'x" + n + "'";
  }
  subset += "<!ENTITY e0 'late'><!NOTATION n7 SYSTEM 'late'>" + attributeList + " d9 CDATA 'late'>";
  TDomDocument* doc = parse("<!DOCTYPE a [" + subset + "]><a v='&e0;&e4999;'/>");
  TDomDocumentType* doctype = doc->doctype();
  EXPECT_EQ(doc->documentElement()->getAttribute(u"v"), u"v0v4999");
  ASSERT_EQ(doctype->entities()->length(), kCount);
  EXPECT_EQ(doctype->entities()->item(1234)->nodeName(), u"e1234");
  EXPECT_EQ(static_cast<TDomNotation*>(doctype->notations()->getNamedItem(u"n7"))->systemId(), u"s7");
  EXPECT_EQ(doctype->notations()->getNamedItem(u"n5000"), nullptr);
  EXPECT_EQ(handler_.warnings.size(), 2u);
  auto* list = static_cast<TDomAttrList*>(doctype->internalSubsetNode()->lastChild());
  ASSERT_EQ(list->childNodes()->length(), kCount);
  EXPECT_EQ(list->childNodes()->item(kCount - 1)->nodeName(), u"d4999");
  EXPECT_EQ(static_cast<TDomAttrDefinition*>(list->findDefinition(u"d9"))->defaultValue(), u"x9");
}

TEST_F(SubsetTree, AnEntityThatIsNotWellFormedContentIsKeptAsUnusable)
{
  TDomDocument* doc = parse("<!DOCTYPE a [<!ENTITY bad '<unclosed>'>]><a/>");
  TDomEntity* bad = entity(doc, u"bad");
  ASSERT_NE(bad, nullptr);
  EXPECT_FALSE(bad->usable());
  EXPECT_FALSE(bad->hasChildNodes());
  ASSERT_EQ(handler_.warnings.size(), 1u);
  EXPECT_EQ(handler_.warnings[0].message, "Unusable_Entity_Decl_Warning");
  EXPECT_EQ(parser_.errorHandler().errors().size(), 0u);
}

TEST_F(SubsetTree, ParameterEntitiesAddTheirDeclarations)
{
  TDomDocument* doc = parse("<!DOCTYPE a [<!ENTITY % decl '<!ENTITY inner \"in\">'>%decl;]><a v='&inner;'/>");
  EXPECT_EQ(doc->documentElement()->getAttribute(u"v"), u"in");
  auto* parameter = doc->doctype()->parameterEntities()->getNamedItem(u"decl");
  ASSERT_NE(parameter, nullptr);
  EXPECT_EQ(parameter->firstChild()->nodeType(), ENTITY_DECLARATION_NODE);
}

TEST_F(SubsetTree, ParameterEntitiesThatReachThemselvesEndWithAnError)
{
  EXPECT_EQ(parseOutcome(withSubset("<!ENTITY % e '&#37;e;'>%e;")),
            "EParserInvalidEntityNameError: Invalid entity name error.");
  EXPECT_EQ(parseOutcome(withSubset("<!ENTITY % a '&#37;b;'><!ENTITY % b '&#37;a;'>%a;")),
            "EParserInvalidEntityNameError: Invalid entity name error.");
}

TEST_F(SubsetTree, ExponentialParameterEntitiesHitTheExpansionLimit)
{
  std::string subset = "<!ENTITY % l0 '<!-- x -->'>";
  for (int i = 1; i <= 40; ++i)
    subset += "<!ENTITY % l" + std::to_string(i) + " '&#37;l" + std::to_string(i - 1) + ";&#37;l" +
              std::to_string(i - 1) + ";'>";
  subset += "%l40;";
  EXPECT_EQ(parseOutcome(withSubset(subset)), "EParserInvalidEntityNameError: Invalid entity name error.");
}

TEST_F(SubsetTree, EmptyIdentifiersKeepTheirDeclarationsMeaning)
{
  TDomDocument* doc = parse("<!DOCTYPE a [<!NOTATION n PUBLIC ''><!ENTITY e SYSTEM ''><!ENTITY f PUBLIC 'p' ''>]>"
                            "<a>&e;</a>");
  EXPECT_TRUE(entity(doc, u"e")->isExternal());
  EXPECT_EQ(doc->doctype()->internalSubset(),
            u"<!NOTATION n PUBLIC \"\"><!ENTITY e SYSTEM \"\"><!ENTITY f PUBLIC \"p\" \"\">");
  TDomDocument* again = parser_.parseWideString(doc->markup());
  EXPECT_EQ(again->doctype()->internalSubset(), doc->doctype()->internalSubset());
}

TEST_F(SubsetTree, ContentModelsBecomeParticles)
{
  TDomDocument* doc = parse(withSubset("<!ELEMENT a (b , (c|d)* , e?)+><!ELEMENT e (#PCDATA|b)*>"));
  TDomNode* declaration = doc->doctype()->internalSubsetNode()->firstChild();
  EXPECT_EQ(static_cast<TDomElementTypeDeclaration*>(declaration)->contentKind(), TContentKind::Children);
  EXPECT_EQ(declaration->firstChild()->nodeType(), SEQUENCE_PARTICLE_NODE);
  EXPECT_EQ(doc->doctype()->internalSubset(), u"<!ELEMENT a (b,(c|d)*,e?)+><!ELEMENT e (#PCDATA|b)*>");
}

TEST(ExternalSubset, ReadThroughOnExternalSubset)
{
  TDomImplementation dom;
  TDomParser parser(&dom);
  std::u16string askedFor;
  parser.setOnExternalSubset([&](TDomParser*, const std::u16string&, const std::u16string& systemId,
                                 std::u16string& subset) {
    askedFor = systemId;
    subset = u"<?xml encoding='UTF-8'?><!ENTITY ext 'from outside'>"
             u"<![INCLUDE[<!ENTITY inc 'in'><![IGNORE[<!ENTITY ign 'no'>]]>]]>";
  });
  std::string text = "<!DOCTYPE a SYSTEM 'a.dtd'><a v='&ext; &inc;'/>";
  TDomDocument* doc = parser.parseBuffer(text.data(), text.size());
  EXPECT_EQ(askedFor, u"a.dtd");
  EXPECT_EQ(doc->documentElement()->getAttribute(u"v"), u"from outside in");
  EXPECT_EQ(doc->doctype()->entities()->getNamedItem(u"ign"), nullptr);
  EXPECT_EQ(doc->doctype()->externalSubsetNode()->firstChild()->nodeType(), TEXT_DECLARATION_NODE);
}

TEST(ExternalSubset, SyntaxOfItsOwnDeclarations)
{
  TDomImplementation dom;
  TDomParser parser(&dom);
  TRecordingHandler handler;
  parser.setErrorHandler(&handler);
  TDomDocumentType* doctype = dom.createDocument(u"a", dom.createDocumentType(u"a", u"", u""))->doctype();
  auto outcome = [&](const std::string& subset) -> std::string {
    handler.fatal.clear();
    try {
      parser.parseExternalSubsetStringInto(subset, doctype);
      return "ok";
    } catch (const EParserException&) {
      return handler.fatal.empty() ? "no record" : handler.fatal.front().className + ": " + handler.fatal.front().message;
    }
  };
  EXPECT_EQ(outcome("<!ENTITY % p 'x'><!ENTITY e '%p;'>"), "ok");
  EXPECT_EQ(outcome("<!-- c --><?xml encoding='UTF-8'?>"),
            "EParserInvalidTextDeclarationError: Character(s) before text-declaration error.");
  EXPECT_EQ(outcome("<?xml version='1.0'?>"),
            "EParserInvalidTextDeclarationError: Invalid text-declaration error.");
  EXPECT_EQ(outcome("<![FOO[ ]]>"),
            "EParserInvalidConditionalSectionError: Invalid conditional section error.");
  EXPECT_EQ(outcome("<!ENTITY % k 'INCLUDE'><![%k;[ ]]>"),
            "EParserInvalidConditionalSectionError: Invalid conditional section error.");
  EXPECT_EQ(outcome("<![INCLUDE[ <!BAD> ]]>"),
            "EParserUnknownDeclarationTypeError: Invalid declaration error.");
  // The internal subset takes no conditional sections at all.
  try {
    parser.parseInternalSubsetStringInto("<![INCLUDE[<!ELEMENT a ANY>]]>", doctype);
    FAIL();
  } catch (const EParserFatalError&) {
    EXPECT_EQ(handler.fatal.back().message, "Invalid conditional section error.");
  }
}

TEST(SubsetBuilderEvents, AnOpenAttributeListAtTheEndIsInvalid)
{
  TDomImplementation dom;
  TDomDocumentType* doctype = dom.createDocument(u"a", dom.createDocumentType(u"a", u"", u""))->doctype();
  TDtdContext context;
  context.doctype = doctype;
  TIntSubsetBuilder builder;
  builder.setContext(&context);
  builder.setReferenceNode(doctype->internalSubsetNode());
  builder.startSubset(nullptr, nullptr);
  builder.startAttributeList(nullptr, nullptr, u"a");
  try {
    builder.endSubset(nullptr, nullptr);
    FAIL();
  } catch (const EParserInvalidDoctypeError& e) {
    EXPECT_STREQ(e.what(), "Invalid doctype declaration error.");
  }
}

} // namespace
} // namespace xml

#include "xml/dom_attr.h"

#include <gtest/gtest.h>

#include "xml/dom.h"
#include "xml/dom_parser.h"

namespace xml {
namespace {

// Attribute values that pass through entity references, with the entities
// declared by hand the way the subset builder declares them.
class AttributeValueTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    doctype_ = doc_->createDocumentType(u"a", u"", u"");
    doc_->insertBefore(doctype_, doc_->firstChild());
  }
  TDomEntity* declare(std::u16string_view name)
  {
    auto* entity = doc_->createNode<TDomEntity>(doc_->internName(name), TDomExternalId(), TCompactText());
    doctype_->entities()->setNamedItem(entity);
    return entity;
  }
  TDomAttr* attributeWith(std::initializer_list<std::u16string_view> parts)
  {
    TDomAttr* attribute = doc_->createAttribute(u"v");
    for (std::u16string_view part : parts) {
      if (!part.empty() && part.front() == u'&')
        attribute->appendChild(doc_->createEntityReference(part.substr(1)));
      else
        attribute->appendChild(doc_->createTextNode(part));
    }
    return attribute;
  }

  TDomImplementation dom_;
  TDomDocument* doc_ = dom_.createDocument(u"a", nullptr);
  TDomDocumentType* doctype_ = nullptr;
};

TEST_F(AttributeValueTest, EntitiesContributeTheirReplacementText)
{
  TDomEntity* outer = declare(u"outer");
  outer->appendChild(doc_->createTextNode(u"<"));
  outer->appendChild(doc_->createEntityReference(u"inner"));
  declare(u"inner")->appendChild(doc_->createTextNode(u"in"));
  EXPECT_EQ(attributeWith({u"x", u"&outer", u"y", u"&amp", u"&quot"})->value(), u"x<iny&\"");
}

TEST_F(AttributeValueTest, UndeclaredUnusableAndExternalEntitiesRaise)
{
  try {
    attributeWith({u"&nowhere"})->value();
    FAIL();
  } catch (const EInvalidEntityReferenceError& e) {
    EXPECT_STREQ(e.what(), "Invalid entity reference error.");
  }
  declare(u"broken")->setUsable(false);
  EXPECT_THROW(attributeWith({u"&broken"})->value(), EInvalidEntityReferenceError);
  auto* external = doc_->createNode<TDomEntity>(doc_->internName(u"file"),
                                                TDomExternalId(TCompactText(), doc_->storeText(u"f.xml"), false, true),
                                                TCompactText());
  doctype_->entities()->setNamedItem(external);
  EXPECT_THROW(attributeWith({u"&file"})->value(), ENoExternalEntityAllowedError);
  declare(u"markup")->appendChild(doc_->createElement(u"b"));
  EXPECT_THROW(attributeWith({u"&markup"})->value(), EInvalidEntityReferenceError);
}

TEST_F(AttributeValueTest, ReferencesBackToAnEntityBeingExpandedRaise)
{
  declare(u"self")->appendChild(doc_->createEntityReference(u"self"));
  EXPECT_THROW(attributeWith({u"&self"})->value(), EInvalidEntityReferenceError);
  declare(u"a")->appendChild(doc_->createEntityReference(u"b"));
  declare(u"b")->appendChild(doc_->createEntityReference(u"c"));
  declare(u"c")->appendChild(doc_->createEntityReference(u"a"));
  EXPECT_THROW(attributeWith({u"&a"})->value(), EInvalidEntityReferenceError);
}

TEST_F(AttributeValueTest, RepeatedUseIsFineButExpansionIsBounded)
{
  TDomEntity* twice = declare(u"twice");
  twice->appendChild(doc_->createEntityReference(u"leaf"));
  twice->appendChild(doc_->createEntityReference(u"leaf"));
  declare(u"leaf")->appendChild(doc_->createTextNode(u"ab"));
  EXPECT_EQ(attributeWith({u"&twice"})->value(), u"abab");

  // Forty levels, each doubling the one below: 2^50 units if unbounded.
  auto levelName = [](int i) {
    std::string name = "level" + std::to_string(i);
    return std::u16string(name.begin(), name.end());
  };
  declare(levelName(0))->appendChild(doc_->createTextNode(std::u16string(1024, u'x')));
  for (int i = 1; i <= 40; ++i) {
    TDomEntity* level = declare(levelName(i));
    level->appendChild(doc_->createEntityReference(levelName(i - 1)));
    level->appendChild(doc_->createEntityReference(levelName(i - 1)));
  }
  EXPECT_EQ(attributeWith({u"&level10"})->value().size(), 1024u * 1024u);
  EXPECT_THROW(attributeWith({u"&level40"})->value(), EInvalidEntityReferenceError);
}

// e0 is empty, each further entity ten references to the one before: no
// text ever comes out, so only counting the nodes walked stops the 10^10
// steps of the expansion.
TEST(AttributeValueOfAParsedDocument, EntitiesThatExpandToNothingStillHitTheBound)
{
  std::string text = "<!DOCTYPE r [\n<!ENTITY e0 \"\">\n";
  for (int i = 1; i <= 10; ++i) {
    text += "<!ENTITY e" + std::to_string(i) + " \"";
    for (int k = 0; k < 10; ++k)
      text += "&e" + std::to_string(i - 1) + ";";
    text += "\">\n";
  }
  text += "]>\n<r a=\"&e10;\"/>\n";
  ASSERT_EQ(text.size(), 609u);
  TDomImplementation dom;
  TDomParser parser(&dom);
  TDomDocument* doc = parser.parseBuffer(text.data(), text.size());
  try {
    doc->documentElement()->getAttribute(u"a");
    FAIL();
  } catch (const EInvalidEntityReferenceError& e) {
    EXPECT_STREQ(e.what(), "Entity expansion limit error.");
  }
}

TEST_F(AttributeValueTest, SettingTheValueReplacesTheChildren)
{
  TDomAttr* attribute = attributeWith({u"a", u"&amp", u"b"});
  attribute->setValue(u"new");
  ASSERT_NE(attribute->firstChild(), nullptr);
  EXPECT_EQ(attribute->firstChild(), attribute->lastChild());
  EXPECT_EQ(attribute->nodeValue(), u"new");
  attribute->setReadOnly(true);
  EXPECT_THROW(attribute->setValue(u"x"), ENoModificationAllowedError);
}

} // namespace
} // namespace xml

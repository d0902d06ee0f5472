#include "xml/dom_implementation.h"

#include <gtest/gtest.h>

#include "xml/dom.h"

namespace xml {
namespace {

class TSpecialDocument : public TDomDocument {
public:
  using TDomDocument::TDomDocument;
};

std::unique_ptr<TDomDocument> makeSpecial(TDomImplementation* implementation)
{
  return std::make_unique<TSpecialDocument>(implementation);
}

TEST(DomImplementation, OwnsAndFreesItsDocuments)
{
  TDomImplementation dom;
  TDomDocument* first = dom.createDocument(u"a", nullptr);
  TDomDocument* second = dom.createDocument(u"b", nullptr);
  EXPECT_EQ(dom.documents()->length(), 2);
  EXPECT_EQ(dom.documents()->item(1), second);
  EXPECT_EQ(first->domImplementation(), &dom);
  dom.freeDocument(first);
  EXPECT_EQ(dom.documents()->length(), 1);
  EXPECT_EQ(dom.documents()->indexOf(second), 0);
  dom.clear();
  EXPECT_EQ(dom.documents()->length(), 0);
}

TEST(DomImplementation, FreeingAForeignDocumentIsRefused)
{
  TDomImplementation dom;
  TDomImplementation other;
  TDomDocument* foreign = other.createDocument(u"a", nullptr);
  try {
    dom.freeDocument(foreign);
    FAIL();
  } catch (const ENotFoundError& e) {
    EXPECT_STREQ(e.what(), "Document not found error.");
  }
  EXPECT_EQ(other.documents()->length(), 1);
  EXPECT_THROW(dom.freeDocument(nullptr), ENotFoundError);
}

TEST(DomImplementation, FreeStandingDocumentTypesJoinOneDocument)
{
  TDomImplementation dom;
  TDomDocumentType* doctype = dom.createDocumentType(u"list", u"-//P//EN", u"list.dtd");
  EXPECT_EQ(dom.documentTypes()->length(), 1);
  TDomDocument* doc = dom.createDocument(u"list", doctype);
  EXPECT_EQ(doc->firstChild(), doctype);
  EXPECT_EQ(doc->doctype(), doctype);
  EXPECT_EQ(doctype->ownerDocument(), doc);
  EXPECT_EQ(doc->documentElement()->nodeName(), u"list");
  EXPECT_EQ(dom.documentTypes()->length(), 0);
  try {
    dom.createDocument(u"again", doctype);
    FAIL();
  } catch (const EWrongDocumentError& e) {
    EXPECT_STREQ(e.what(), "Wrong document error.");
  }
  EXPECT_EQ(dom.documents()->length(), 1);
  try {
    dom.freeDocumentType(doctype);
    FAIL();
  } catch (const ENotFoundError& e) {
    EXPECT_STREQ(e.what(), "DocumentType not found error.");
  }
  TDomDocumentType* unused = dom.createDocumentType(u"u", u"", u"");
  dom.freeDocumentType(unused);
  EXPECT_EQ(dom.documentTypes()->length(), 0);
}

TEST(DomImplementation, CreateDocumentChecksTheName)
{
  TDomImplementation dom;
  EXPECT_THROW(dom.createDocument(u"no name", nullptr), EInvalidCharacterError);
  EXPECT_EQ(dom.documents()->length(), 0);
}

TEST(DomImplementation, DocumentFormatsComeFromTheRegistry)
{
  try {
    TDomImplementation::registerDocumentFormat(u"", u"default", makeSpecial);
    FAIL();
  } catch (const EInvalidAccessError& e) {
    EXPECT_STREQ(e.what(),
                 "Illegal Parameter Error: Attempt to set the reserved Document Format \"default\".");
  }
  try {
    TDomImplementation::documentFormat(u"", u"unregistered");
    FAIL();
  } catch (const EUnknownDocumentFormatError& e) {
    EXPECT_STREQ(e.what(), "Unknown document format yet");
  }
  EXPECT_NE(TDomImplementation::documentFormat(u"", u"default"), nullptr);
  TDomImplementation::registerDocumentFormat(u"", u"special", makeSpecial);
  TDomImplementation dom;
  EXPECT_NE(dynamic_cast<TSpecialDocument*>(dom.createDocument(u"special", nullptr)), nullptr);
  EXPECT_EQ(dynamic_cast<TSpecialDocument*>(dom.createDocument(u"plain", nullptr)), nullptr);
}

TEST(DomImplementation, Features)
{
  TDomImplementation dom;
  EXPECT_TRUE(dom.hasFeature(u"xml", u""));
  EXPECT_TRUE(dom.hasFeature(u"XML", u"1.0"));
  EXPECT_FALSE(dom.hasFeature(u"TRAVERSAL", u"1.0"));
  EXPECT_TRUE(dom.hasFeature(u"Traversal", u"2.0"));
  EXPECT_TRUE(dom.hasFeature(u"views", u"2.0"));
  EXPECT_FALSE(dom.hasFeature(u"XML", u"3.0"));
}

} // namespace
} // namespace xml

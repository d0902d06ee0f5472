#include "xml/dom_node.h"

#include <gtest/gtest.h>

#include "xml/dom.h"

namespace xml {
namespace {

class MarkupTest : public ::testing::Test {
protected:
  TDomImplementation dom_;
  TDomDocument* doc_ = dom_.createDocument(u"root", nullptr);
  TDomElement* root_ = doc_->documentElement();
};

TEST_F(MarkupTest, TextWritesTheFiveMarkupCharactersAsReferences)
{
  EXPECT_EQ(doc_->createTextNode(u"a<b & \"c\" 'd' > \u00E4")->markup(),
            u"a&#60;b &#38; &#34;c&#34; &#39;d&#39; &#62; \u00E4");
}

TEST_F(MarkupTest, LeafKinds)
{
  EXPECT_EQ(doc_->createCDATASection(u"<x>&")->markup(), u"<![CDATA[<x>&]]>");
  EXPECT_EQ(doc_->createComment(u" note ")->markup(), u"<!-- note -->");
  EXPECT_EQ(doc_->createProcessingInstruction(u"pi", u"data")->markup(), u"<?pi data?>");
  EXPECT_EQ(doc_->createEntityReference(u"auml")->markup(), u"&auml;");
  EXPECT_EQ(doc_->createXmlDeclaration(u"1.0", u"", u"")->markup(), u"<?xml version=\"1.0\"?>");
  EXPECT_EQ(doc_->createXmlDeclaration(u"1.0", u"UTF-8", u"no")->markup(),
            u"<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>");
}

TEST_F(MarkupTest, ElementsWriteAttributesInMapOrderAndAlwaysAnEndTag)
{
  EXPECT_EQ(root_->markup(), u"<root></root>");
  root_->setAttribute(u"b", u"2");
  root_->setAttribute(u"a", u"x\"y");
  TDomAttr* withReference = doc_->createAttribute(u"c");
  withReference->appendChild(doc_->createTextNode(u"p"));
  withReference->appendChild(doc_->createEntityReference(u"amp"));
  root_->attributes()->setNamedItem(withReference);
  TDomAttr* defaulted = doc_->createNode<TDomAttr>(doc_->internName(u"d"), false);
  root_->attributes()->setNamedItem(defaulted);
  TDomElement* child = doc_->createElement(u"sw-ident");
  child->appendChild(doc_->createTextNode(u"A&B"));
  root_->appendChild(child);
  EXPECT_EQ(root_->markup(), u"<root b=\"2\" a=\"x&#34;y\" c=\"p&amp;\"><sw-ident>A&#38;B</sw-ident></root>");
  EXPECT_EQ(defaulted->markup(), u"");
}

TEST_F(MarkupTest, DocumentWritesEachChildOnItsLine)
{
  TDomDocument* doc = dom_.createDocument(u"a", dom_.createDocumentType(u"a", u"", u"a.dtd"));
  doc->insertBefore(doc->createXmlDeclaration(u"1.0", u"", u""), doc->firstChild());
  doc->appendChild(doc->createComment(u"end"));
  EXPECT_EQ(doc->markup(), u"<?xml version=\"1.0\"?>\n<!DOCTYPE a SYSTEM \"a.dtd\">\n<a></a>\n<!--end-->\n");
}

TEST_F(MarkupTest, FragmentsWriteTheirChildren)
{
  TDomDocumentFragment* fragment = doc_->createDocumentFragment();
  fragment->appendChild(doc_->createTextNode(u"1"));
  fragment->appendChild(doc_->createElement(u"e"));
  EXPECT_EQ(fragment->markup(), u"1<e></e>");
}

TEST_F(MarkupTest, DocumentTypeWritesItsDeclarations)
{
  TDomDocumentType* doctype = doc_->createDocumentType(u"root", u"-//P//EN", u"r.dtd");
  TDomInternalSubset* subset = doctype->internalSubsetNode();
  subset->appendChild(doc_->createNode<TDomEntityDeclaration>(doc_->internName(u"e"), doc_->storeText(u"v"),
                                                              TDomExternalId(), TCompactText()));
  auto* element = doc_->createNode<TDomElementTypeDeclaration>(doc_->internName(u"root"), TContentKind::Children);
  auto* sequence = doc_->createNode<TDomSequenceParticle>();
  sequence->setOccurrence(u'*');
  sequence->appendChild(doc_->createNode<TDomElementParticle>(doc_->internName(u"a")));
  auto* b = doc_->createNode<TDomElementParticle>(doc_->internName(u"b"));
  b->setOccurrence(u'?');
  sequence->appendChild(b);
  element->appendChild(sequence);
  subset->appendChild(element);
  EXPECT_EQ(doctype->markup(),
            u"<!DOCTYPE root PUBLIC \"-//P//EN\" \"r.dtd\" [<!ENTITY e \"v\"><!ELEMENT root (a,b?)*>]>");
}

TEST(MarkupDepth, DeepTreesSerialiseAndFreeWithoutRecursion)
{
  TDomImplementation dom;
  TDomDocument* doc = dom.createDocument(u"n", nullptr);
  TDomNode* parent = doc->documentElement();
  const int depth = 100000;
  for (int i = 0; i < depth; ++i) {
    TDomNode* child = doc->createElement(u"n");
    parent->appendChild(child);
    parent = child;
  }
  std::u16string text = doc->documentElement()->markup();
  EXPECT_EQ(text.size(), std::size_t(depth + 1) * 7);
  EXPECT_EQ(text.substr(0, 6), u"<n><n>");
  dom.freeDocument(doc);
  EXPECT_EQ(dom.documents()->length(), 0);
}

} // namespace
} // namespace xml

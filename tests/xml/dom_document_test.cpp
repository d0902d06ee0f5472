#include "xml/dom_document.h"

#include <gtest/gtest.h>

#include "xml/dom.h"

namespace xml {
namespace {

class DomDocumentTest : public ::testing::Test {
protected:
  TDomImplementation dom_;
  TDomDocument* doc_ = dom_.createDocument(u"root", nullptr);
  TDomElement* root_ = doc_->documentElement();
};

template <class E, class F>
std::string raisedMessage(F&& action)
{
  try {
    action();
  } catch (const E& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "nothing raised";
}

TEST_F(DomDocumentTest, FactoriesCheckNames)
{
  EXPECT_EQ(raisedMessage<EInvalidCharacterError>([&] { doc_->createElement(u"1x"); }), "Invalid character error.");
  EXPECT_EQ(raisedMessage<EInvalidCharacterError>([&] { doc_->createAttribute(u""); }), "Invalid character error.");
  EXPECT_EQ(raisedMessage<EInvalidCharacterError>([&] { doc_->createEntityReference(u"a b"); }),
            "Invalid character error.");
  EXPECT_EQ(raisedMessage<EInvalidCharacterError>([&] { doc_->createProcessingInstruction(u"XmL", u""); }),
            "Invalid character error.");
  EXPECT_EQ(raisedMessage<EInvalidCharacterError>([&] { doc_->createDocumentType(u"?", u"", u""); }),
            "Invalid character error.");
  EXPECT_EQ(doc_->createProcessingInstruction(u"xml-stylesheet", u"href='a'")->target(), u"xml-stylesheet");
  EXPECT_EQ(doc_->createElement(u"Werk")->nodeName(), u"Werk");
}

TEST_F(DomDocumentTest, XmlDeclarationValuesAreChecked)
{
  EXPECT_NO_THROW(doc_->createXmlDeclaration(u"1.0", u"", u""));
  EXPECT_NO_THROW(doc_->createXmlDeclaration(u"1.0", u"ISO-8859-1", u"yes"));
  EXPECT_THROW(doc_->createXmlDeclaration(u"", u"", u""), EInvalidCharacterError);
  EXPECT_THROW(doc_->createXmlDeclaration(u"1.0", u"8bit", u""), EInvalidCharacterError);
  EXPECT_THROW(doc_->createXmlDeclaration(u"1.0", u"", u"Yes"), EInvalidCharacterError);
}

TEST_F(DomDocumentTest, ReadOperationsFollowTheChildren)
{
  EXPECT_EQ(doc_->nodeType(), DOCUMENT_NODE);
  EXPECT_EQ(doc_->nodeName(), u"#document");
  EXPECT_EQ(doc_->ownerDocument(), doc_);
  EXPECT_EQ(root_->nodeType(), 1);
  EXPECT_EQ(root_->parentNode(), doc_);
  EXPECT_EQ(doc_->doctype(), nullptr);
  EXPECT_EQ(doc_->xmlDeclaration(), nullptr);
  TDomText* text = doc_->createTextNode(u"t");
  TDomComment* comment = doc_->createComment(u"c");
  root_->appendChild(text);
  root_->appendChild(comment);
  EXPECT_EQ(root_->firstChild(), text);
  EXPECT_EQ(root_->lastChild(), comment);
  EXPECT_EQ(text->nextSibling(), comment);
  EXPECT_EQ(comment->previousSibling(), text);
  EXPECT_EQ(text->nodeValue(), u"t");
  EXPECT_EQ(comment->nodeName(), u"#comment");
  EXPECT_EQ(root_->nodeValue(), u"");
  EXPECT_EQ(text->attributes(), nullptr);
  EXPECT_NE(root_->attributes(), nullptr);
  EXPECT_TRUE(root_->hasChildNodes());
  EXPECT_FALSE(text->hasChildNodes());
}

TEST_F(DomDocumentTest, MutationChecksRunInTheStatedOrder)
{
  TDomImplementation otherDom;
  TDomDocument* other = otherDom.createDocument(u"other", nullptr);

  // 1 before 2: a foreign attribute is refused for its type first.
  EXPECT_EQ(raisedMessage<EHierarchyRequestError>([&] { root_->appendChild(other->createAttribute(u"a")); }),
            "Hierarchy request error.");
  EXPECT_EQ(raisedMessage<EHierarchyRequestError>([&] { doc_->appendChild(doc_->createTextNode(u"x")); }),
            "Hierarchy request error.");
  // 2 before 3.
  EXPECT_EQ(raisedMessage<EWrongDocumentError>([&] { root_->appendChild(other->createElement(u"e")); }),
            "Wrong document error.");
  // 3: an ancestor, and the node itself.
  TDomElement* child = doc_->createElement(u"child");
  root_->appendChild(child);
  EXPECT_EQ(raisedMessage<EHierarchyRequestError>([&] { child->appendChild(root_); }), "Hierarchy request error.");
  EXPECT_EQ(raisedMessage<EHierarchyRequestError>([&] { child->appendChild(child); }), "Hierarchy request error.");
  // 4: read-only parent, and read-only current parent of the new child.
  TDomElement* locked = doc_->createElement(u"locked");
  locked->setReadOnly(true);
  EXPECT_EQ(raisedMessage<ENoModificationAllowedError>([&] { locked->appendChild(doc_->createElement(u"x")); }),
            "No modification allowed error.");
  TDomElement* held = doc_->createElement(u"held");
  root_->appendChild(held);
  root_->setReadOnly(true);
  EXPECT_THROW(child->appendChild(held), ENoModificationAllowedError);
  root_->setReadOnly(false);
  // 5: the reference child must be a child.
  EXPECT_EQ(raisedMessage<ENotFoundError>([&] { child->insertBefore(doc_->createElement(u"y"), held); }),
            "Node not found error.");
  EXPECT_EQ(raisedMessage<ENotFoundError>([&] { child->replaceChild(doc_->createElement(u"y"), held); }),
            "Node not found error.");
  // Nothing changed on the way.
  EXPECT_EQ(root_->firstChild(), child);
  EXPECT_EQ(child->nextSibling(), held);
  EXPECT_EQ(child->firstChild(), nullptr);
}

TEST_F(DomDocumentTest, EachNodeKindTakesItsOwnChildKinds)
{
  auto takes = [&](TDomNode* parent, TDomNode* child) {
    try {
      parent->appendChild(child);
      return true;
    } catch (const EHierarchyRequestError&) {
      return false;
    }
  };
  TDomDocumentType* doctype = doc_->createDocumentType(u"root", u"", u"");
  doctype->setReadOnly(false);
  EXPECT_FALSE(takes(doctype, doc_->createComment(u"c")));
  EXPECT_FALSE(takes(doc_->createTextNode(u"t"), doc_->createTextNode(u"u")));
  EXPECT_FALSE(takes(doc_->createAttribute(u"a"), doc_->createElement(u"e")));
  EXPECT_TRUE(takes(doc_->createAttribute(u"a"), doc_->createEntityReference(u"e")));
  auto* internal = doctype->internalSubsetNode();
  auto* text = doc_->createNode<TDomTextDeclaration>(doc_->storeText(u"1.0"), doc_->storeText(u"UTF-8"));
  EXPECT_FALSE(takes(internal, text));
  EXPECT_TRUE(takes(doctype->externalSubsetNode(), text));
  EXPECT_TRUE(takes(doc_->createNode<TDomExternalParsedEntity>(), doc_->createElement(u"e")));
  EXPECT_FALSE(takes(doc_->createNode<TDomExternalParameterEntity>(), doc_->createElement(u"e")));
  EXPECT_TRUE(takes(doc_->createNode<TDomExternalParameterEntity>(),
                    doc_->createNode<TDomTextDeclaration>(TCompactText(), doc_->storeText(u"UTF-8"))));
  EXPECT_EQ(doc_->createNode<TDomExternalParsedEntity>()->nodeType(), 29);
  EXPECT_EQ(doc_->createNode<TDomExternalParameterEntity>()->nodeType(), 30);
}

TEST_F(DomDocumentTest, DocumentTakesOneRootOnly)
{
  EXPECT_THROW(doc_->appendChild(doc_->createElement(u"second")), EHierarchyRequestError);
  TDomElement* replacement = doc_->createElement(u"replacement");
  EXPECT_EQ(doc_->replaceChild(replacement, root_), root_);
  EXPECT_EQ(doc_->documentElement(), replacement);
}

TEST_F(DomDocumentTest, InsertMovesAndFragmentsMoveTheirChildren)
{
  TDomElement* a = doc_->createElement(u"a");
  TDomElement* b = doc_->createElement(u"b");
  root_->appendChild(a);
  root_->appendChild(b);
  root_->insertBefore(b, a);
  EXPECT_EQ(root_->firstChild(), b);
  EXPECT_EQ(root_->lastChild(), a);

  TDomDocumentFragment* fragment = doc_->createDocumentFragment();
  fragment->appendChild(doc_->createTextNode(u"1"));
  fragment->appendChild(doc_->createTextNode(u"2"));
  a->appendChild(fragment);
  EXPECT_EQ(a->childNodes()->length(), 2);
  EXPECT_FALSE(fragment->hasChildNodes());
  EXPECT_EQ(a->firstChild()->parentNode(), a);
}

TEST_F(DomDocumentTest, RemovedNodesStayUsable)
{
  TDomElement* a = doc_->createElement(u"a");
  root_->appendChild(a);
  EXPECT_EQ(root_->removeChild(a), a);
  EXPECT_EQ(a->parentNode(), nullptr);
  EXPECT_THROW(root_->removeChild(a), ENotFoundError);
  root_->appendChild(a);
  EXPECT_EQ(root_->firstChild(), a);
}

TEST_F(DomDocumentTest, AttributesThroughTheMap)
{
  root_->setAttribute(u"compress", u"yes");
  TDomNamedNodeMap* map = root_->attributes();
  ASSERT_EQ(map->length(), 1);
  TDomNode* attribute = map->getNamedItem(u"compress");
  ASSERT_NE(attribute, nullptr);
  EXPECT_EQ(attribute->nodeType(), ATTRIBUTE_NODE);
  EXPECT_EQ(attribute->firstChild()->nodeValue(), u"yes");
  EXPECT_EQ(map->getNamedItem(u"stowa"), nullptr);
  EXPECT_EQ(root_->getAttribute(u"stowa"), u"");
  root_->setAttribute(u"compress", u"");
  ASSERT_NE(attribute->firstChild(), nullptr);
  EXPECT_EQ(attribute->firstChild(), attribute->lastChild());
  EXPECT_EQ(attribute->nodeValue(), u"");
  EXPECT_EQ(map->item(1), nullptr);
  EXPECT_EQ(map->item(-1), nullptr);
  EXPECT_THROW(map->removeNamedItem(u"nothing"), ENotFoundError);
  TDomElement* other = doc_->createElement(u"other");
  EXPECT_THROW(other->attributes()->setNamedItem(attribute), EInuseAttributeError);
  map->removeNamedItem(u"compress");
  EXPECT_EQ(map->length(), 0);
  EXPECT_EQ(static_cast<TDomAttr*>(attribute)->ownerElement(), nullptr);
}

TEST_F(DomDocumentTest, ManyAttributesAreFoundByNameInTheirOrder)
{
  auto name = [](int i) {
    std::string text = "a" + std::to_string(i);
    return std::u16string(text.begin(), text.end());
  };
  TDomNamedNodeMap* map = root_->attributes();
  for (int i = 0; i < 40; ++i)
    root_->setAttribute(name(i), u"v");
  ASSERT_EQ(map->length(), 40);
  EXPECT_EQ(map->item(39)->nodeName(), u"a39");
  EXPECT_NE(map->getNamedItem(u"a1"), nullptr);
  map->removeNamedItem(u"a1");
  EXPECT_EQ(map->getNamedItem(u"a1"), nullptr);
  EXPECT_EQ(map->item(1)->nodeName(), u"a2");
  TDomAttr* replacement = doc_->createAttribute(u"a2");
  EXPECT_EQ(map->setNamedItem(replacement)->nodeName(), u"a2");
  EXPECT_EQ(map->getNamedItem(u"a2"), replacement);
  EXPECT_EQ(map->item(1), replacement);
  EXPECT_EQ(map->length(), 39);
}

TEST_F(DomDocumentTest, ClearDropsEverything)
{
  root_->appendChild(doc_->createElement(u"x"));
  TDomNodeList* list = doc_->getElementsByTagName(u"x");
  EXPECT_EQ(list->length(), 1);
  doc_->clear();
  EXPECT_EQ(doc_->firstChild(), nullptr);
  EXPECT_EQ(doc_->documentElement(), nullptr);
  EXPECT_EQ(doc_->getElementsByTagName(u"x")->length(), 0);
  doc_->appendChild(doc_->createElement(u"fresh"));
  EXPECT_EQ(doc_->documentElement()->nodeName(), u"fresh");
}

TEST_F(DomDocumentTest, NamespaceElementsRefuseNameLookups)
{
  TDomDocument* nsDoc = dom_.createDocumentNS(u"urn:x", u"p:root", nullptr);
  TDomElement* element = nsDoc->documentElement();
  EXPECT_EQ(element->namespaceURI(), u"urn:x");
  EXPECT_THROW(element->attributes()->getNamedItem(u"a"), ENamespaceError);
  EXPECT_THROW(element->getAttribute(u"a"), ENamespaceError);
  EXPECT_THROW(dom_.createDocumentNS(u"", u"p:root", nullptr), ENamespaceError);
  EXPECT_THROW(dom_.createDocumentNS(u"urn:x", u"xml:root", nullptr), ENamespaceError);
  EXPECT_THROW(dom_.createDocumentNS(u"urn:x", u"a:b:c", nullptr), ENamespaceError);
  EXPECT_EQ(dom_.documents()->length(), 2);
}

} // namespace
} // namespace xml

#include "xml/dom_tree_walker.h"

#include <gtest/gtest.h>

#include "xml/dom.h"

namespace xml {
namespace {

class TreeWalkerTest : public ::testing::Test {
protected:
  // <c>t<!--x--><project-info><ecu-ident/><?p?><sw-ident>AB</sw-ident></project-info><tail/></c>
  void SetUp() override
  {
    root_->appendChild(doc_->createTextNode(u"t"));
    root_->appendChild(doc_->createComment(u"x"));
    info_ = add(root_, u"project-info");
    ecu_ = add(info_, u"ecu-ident");
    info_->appendChild(doc_->createProcessingInstruction(u"p", u""));
    sw_ = add(info_, u"sw-ident");
    sw_->appendChild(doc_->createTextNode(u"AB"));
    tail_ = add(root_, u"tail");
  }
  TDomElement* add(TDomNode* parent, std::u16string_view name)
  {
    TDomElement* element = doc_->createElement(name);
    parent->appendChild(element);
    return element;
  }
  std::u16string walkNames(TDomTreeWalker* walker)
  {
    std::u16string names;
    while (TDomNode* node = walker->nextNode())
      names += node->nodeName() + u" ";
    return names;
  }

  TDomImplementation dom_;
  TDomDocument* doc_ = dom_.createDocument(u"c", nullptr);
  TDomElement* root_ = doc_->documentElement();
  TDomElement* info_ = nullptr;
  TDomElement* ecu_ = nullptr;
  TDomElement* sw_ = nullptr;
  TDomElement* tail_ = nullptr;
};

TEST_F(TreeWalkerTest, ElementsAndDocumentVisitEveryElementInOrder)
{
  TDomTreeWalker* walker = doc_->createTreeWalker(doc_, {1, 9}, true, nullptr);
  EXPECT_EQ(walker->currentNode(), doc_);
  EXPECT_TRUE(walker->expandEntityReferences());
  EXPECT_EQ(walkNames(walker), u"c project-info ecu-ident sw-ident tail ");
  EXPECT_EQ(walker->currentNode(), tail_);
  EXPECT_EQ(walker->nextNode(), nullptr);
  EXPECT_EQ(walker->currentNode(), tail_);
}

TEST_F(TreeWalkerTest, FirstChildMovesToTheFirstVisibleChildOrStays)
{
  TDomTreeWalker* walker = doc_->createTreeWalker(doc_, {ELEMENT_NODE, DOCUMENT_NODE}, true, nullptr);
  walker->setCurrentNode(info_);
  EXPECT_EQ(walker->firstChild(), ecu_);
  EXPECT_EQ(walker->firstChild(), nullptr);
  EXPECT_EQ(walker->currentNode(), ecu_);
  EXPECT_EQ(walker->nextSibling(), sw_);
  EXPECT_EQ(walker->previousSibling(), ecu_);
  EXPECT_EQ(walker->parentNode(), info_);
  EXPECT_EQ(walker->lastChild(), sw_);
  EXPECT_EQ(walker->previousNode(), ecu_);
  EXPECT_EQ(walker->previousNode(), info_);
  EXPECT_EQ(walker->previousNode(), root_);
  EXPECT_EQ(walker->previousNode(), doc_);
  EXPECT_EQ(walker->previousNode(), nullptr);
}

TEST_F(TreeWalkerTest, AllTypesIncludeTextCommentsAndInstructions)
{
  TDomTreeWalker* walker = doc_->createTreeWalker(root_, {1, 3, 7, 8}, false, nullptr);
  EXPECT_EQ(walkNames(walker), u"#text #comment project-info ecu-ident p sw-ident #text tail ");
}

class TRejectProjectInfo : public TDomNodeFilter {
public:
  explicit TRejectProjectInfo(TDomFilterResult answer) : answer_(answer) {}
  TDomFilterResult acceptNode(TDomNode* node) override
  {
    return node->nodeName() == u"project-info" ? answer_ : TDomFilterResult::Accept;
  }

private:
  TDomFilterResult answer_;
};

TEST_F(TreeWalkerTest, RejectHidesASubtreeSkipOnlyTheNode)
{
  TRejectProjectInfo reject(TDomFilterResult::Reject);
  EXPECT_EQ(walkNames(doc_->createTreeWalker(doc_, {1}, true, &reject)), u"c tail ");
  TRejectProjectInfo skip(TDomFilterResult::Skip);
  TDomTreeWalker* walker = doc_->createTreeWalker(doc_, {1}, true, &skip);
  EXPECT_EQ(walkNames(walker), u"c ecu-ident sw-ident tail ");
  walker->setCurrentNode(root_);
  EXPECT_EQ(walker->firstChild(), ecu_);
  walker->setCurrentNode(sw_);
  EXPECT_EQ(walker->parentNode(), root_);
}

TEST_F(TreeWalkerTest, WalkStaysBelowItsRoot)
{
  TDomTreeWalker* walker = doc_->createTreeWalker(info_, {1}, true, nullptr);
  EXPECT_EQ(walkNames(walker), u"ecu-ident sw-ident ");
  walker->setCurrentNode(info_);
  EXPECT_EQ(walker->parentNode(), nullptr);
  EXPECT_EQ(walker->nextSibling(), nullptr);
}

TEST_F(TreeWalkerTest, NullRootAndNullCurrentNodeAreRefused)
{
  try {
    doc_->createTreeWalker(nullptr, {1}, true, nullptr);
    FAIL();
  } catch (const ENotSupportedError& e) {
    EXPECT_STREQ(e.what(), "Not supported error.");
  }
  TDomTreeWalker* walker = doc_->createTreeWalker(doc_, {1}, true, nullptr);
  EXPECT_THROW(walker->setCurrentNode(nullptr), ENotSupportedError);
}

TEST(TreeWalkerDepth, DeepChainsWalkWithoutRecursion)
{
  TDomImplementation dom;
  TDomDocument* doc = dom.createDocument(u"d", nullptr);
  TDomNode* parent = doc->documentElement();
  for (int i = 0; i < 100000; ++i) {
    TDomNode* child = doc->createElement(u"d");
    parent->appendChild(child);
    parent->appendChild(doc->createTextNode(u" "));
    parent = child;
  }
  TDomTreeWalker* walker = doc->createTreeWalker(doc, {1}, true, nullptr);
  int count = 0;
  while (walker->nextNode() != nullptr)
    ++count;
  EXPECT_EQ(count, 100001);
  EXPECT_EQ(doc->getElementsByTagName(u"d")->length(), 100001);
}

} // namespace
} // namespace xml

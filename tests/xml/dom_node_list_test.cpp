#include "xml/dom_node_list.h"

#include <gtest/gtest.h>

#include "xml/dom.h"

namespace xml {
namespace {

class ElementsListTest : public ::testing::Test {
protected:
  // <list><Werk id=1><Werk id=2/></Werk><x/>text<Werk id=3/></list>
  void SetUp() override
  {
    TDomElement* w1 = add(root_, u"Werk");
    add(w1, u"Werk");
    add(root_, u"x");
    root_->appendChild(doc_->createTextNode(u"text"));
    add(root_, u"Werk");
  }
  TDomElement* add(TDomNode* parent, std::u16string_view name)
  {
    TDomElement* element = doc_->createElement(name);
    parent->appendChild(element);
    return element;
  }

  TDomImplementation dom_;
  TDomDocument* doc_ = dom_.createDocument(u"list", nullptr);
  TDomElement* root_ = doc_->documentElement();
};

TEST_F(ElementsListTest, MatchesInDocumentOrder)
{
  TDomNodeList* werke = root_->getElementsByTagName(u"Werk");
  ASSERT_EQ(werke->length(), 3);
  EXPECT_EQ(werke->item(0), root_->firstChild());
  EXPECT_EQ(werke->item(1), root_->firstChild()->firstChild());
  EXPECT_EQ(werke->item(2), root_->lastChild());
  EXPECT_EQ(werke->item(-1), nullptr);
  EXPECT_EQ(werke->item(3), nullptr);
  EXPECT_EQ(werke->indexOf(root_->lastChild()), 2);
  EXPECT_EQ(root_->getElementsByTagName(u"werk")->length(), 0);
  EXPECT_EQ(root_->getElementsByTagName(u"none")->item(0), nullptr);
}

TEST_F(ElementsListTest, SameNameGivesTheSameLiveList)
{
  TDomNodeList* werke = root_->getElementsByTagName(u"Werk");
  EXPECT_EQ(root_->getElementsByTagName(u"Werk"), werke);
  EXPECT_NE(root_->getElementsByTagName(u"x"), werke);
  EXPECT_EQ(werke->item(2), root_->lastChild());
  TDomElement* added = add(root_->firstChild()->firstChild(), u"Werk");
  ASSERT_EQ(werke->length(), 4);
  EXPECT_EQ(werke->item(2), added);
  root_->removeChild(root_->firstChild());
  EXPECT_EQ(werke->length(), 1);
  EXPECT_EQ(werke->item(0), root_->lastChild());
}

TEST_F(ElementsListTest, StarMatchesEveryDescendantButNeverTheStart)
{
  EXPECT_EQ(root_->getElementsByTagName(u"*")->length(), 4);
  TDomElement* first = static_cast<TDomElement*>(root_->firstChild());
  TDomNodeList* inside = first->getElementsByTagName(u"Werk");
  ASSERT_EQ(inside->length(), 1);
  EXPECT_EQ(inside->item(0), first->firstChild());
  EXPECT_EQ(doc_->getElementsByTagName(u"list")->length(), 1);
  EXPECT_EQ(root_->getElementsByTagName(u"list")->length(), 0);
}

TEST_F(ElementsListTest, ANameSeenOnlyLaterStillMatches)
{
  TDomNodeList* late = root_->getElementsByTagName(u"late");
  EXPECT_EQ(late->length(), 0);
  add(root_, u"late");
  EXPECT_EQ(late->length(), 1);
}

TEST_F(ElementsListTest, ChildListFollowsChanges)
{
  TDomNodeList* children = root_->childNodes();
  EXPECT_EQ(root_->childNodes(), children);
  ASSERT_EQ(children->length(), 4);
  EXPECT_EQ(children->item(3), root_->lastChild());
  EXPECT_EQ(children->item(1)->nodeName(), u"x");
  EXPECT_EQ(children->item(0), root_->firstChild());
  root_->removeChild(children->item(1));
  EXPECT_EQ(children->length(), 3);
  EXPECT_EQ(children->item(1)->nodeName(), u"#text");
  EXPECT_EQ(children->item(4), nullptr);
  EXPECT_EQ(children->item(-1), nullptr);
}

} // namespace
} // namespace xml

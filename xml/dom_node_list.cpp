#include "xml/dom_node_list.h"

#include "xml/dom_document.h"
#include "xml/dom_node.h"

namespace xml {

int TDomNodeList::indexOf(const TDomNode* node) const
{
  int n = length();
  for (int i = 0; i < n; ++i)
    if (item(i) == node)
      return i;
  return -1;
}

void TDomChildNodeList::syncWithDocument() const
{
  std::uint64_t stamp = parent_->ownerDocument()->mutationStamp();
  if (stamp == stamp_)
    return;
  stamp_ = stamp;
  cachedNode_ = nullptr;
  cachedIndex_ = -1;
  cachedLength_ = -1;
}

int TDomChildNodeList::length() const
{
  syncWithDocument();
  if (cachedLength_ < 0) {
    int count = 0;
    for (TDomNode* c = parent_->firstChild(); c != nullptr; c = c->nextSibling())
      ++count;
    cachedLength_ = count;
  }
  return cachedLength_;
}

TDomNode* TDomChildNodeList::item(int index) const
{
  if (index < 0)
    return nullptr;
  syncWithDocument();
  TDomNode* node = parent_->firstChild();
  int position = 0;
  if (cachedNode_ != nullptr && cachedIndex_ <= index) {
    node = cachedNode_;
    position = cachedIndex_;
  } else if (cachedNode_ != nullptr && index < cachedIndex_ && cachedIndex_ - index < index) {
    node = cachedNode_;
    for (position = cachedIndex_; position > index; --position)
      node = node->previousSibling();
  }
  for (; node != nullptr && position < index; ++position)
    node = node->nextSibling();
  if (node != nullptr) {
    cachedNode_ = node;
    cachedIndex_ = index;
  }
  return node;
}

TDomElementsNodeList::TDomElementsNodeList(std::u16string queryName, TDomNode* startNode)
    : queryName_(std::move(queryName)), startNode_(startNode)
{
}

void TDomElementsNodeList::revalidate() const
{
  std::uint64_t stamp = startNode_->ownerDocument()->mutationStamp();
  if (stamp == stamp_)
    return;
  stamp_ = stamp;
  matches_.clear();
  walkPosition_ = startNode_->firstChild();
  walkDone_ = walkPosition_ == nullptr;
  // Names are interned per document: a name the document never saw matches
  // nothing, any other matches by identity.
  internedQuery_ = startNode_->ownerDocument()->findName(queryName_);
}

void TDomElementsNodeList::findMatches(std::size_t count) const
{
  const bool everything = queryName_ == u"*";
  if (!everything && internedQuery_ == nullptr) {
    walkDone_ = true;
    return;
  }
  TDomNode* node = walkPosition_;
  while (node != nullptr && matches_.size() < count) {
    if (node->nodeType() == ELEMENT_NODE && (everything || &node->nodeName() == internedQuery_))
      matches_.push_back(node);
    // Pre-order step that never climbs above the start node.
    if (node->firstChild() != nullptr) {
      node = node->firstChild();
      continue;
    }
    while (node != startNode_ && node->nextSibling() == nullptr)
      node = node->parentNode();
    node = node == startNode_ ? nullptr : node->nextSibling();
  }
  walkPosition_ = node;
  walkDone_ = node == nullptr;
}

int TDomElementsNodeList::length() const
{
  revalidate();
  if (!walkDone_)
    findMatches(SIZE_MAX);
  return static_cast<int>(matches_.size());
}

TDomNode* TDomElementsNodeList::item(int index) const
{
  if (index < 0)
    return nullptr;
  revalidate();
  std::size_t wanted = static_cast<std::size_t>(index) + 1;
  if (matches_.size() < wanted && !walkDone_)
    findMatches(wanted);
  return wanted <= matches_.size() ? matches_[index] : nullptr;
}

} // namespace xml

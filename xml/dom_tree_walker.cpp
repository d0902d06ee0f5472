#include "xml/dom_tree_walker.h"

#include "xml/dom_exceptions.h"
#include "xml/dom_node.h"

namespace xml {

namespace {

TDomNode* childAtStart(TDomNode* node, bool forward) { return forward ? node->firstChild() : node->lastChild(); }

TDomNode* siblingAfter(TDomNode* node, bool forward) { return forward ? node->nextSibling() : node->previousSibling(); }

} // namespace

TDomTreeWalker::TDomTreeWalker(TDomNode* root, TDomNodeTypeSet whatToShow, bool expandEntityReferences,
                               TDomNodeFilter* filter)
    : root_(root), current_(root), filter_(filter), whatToShow_(whatToShow),
      expandEntityReferences_(expandEntityReferences)
{
  if (root == nullptr)
    throw ENotSupportedError();
}

void TDomTreeWalker::setCurrentNode(TDomNode* node)
{
  if (node == nullptr)
    throw ENotSupportedError();
  current_ = node;
}

TDomFilterResult TDomTreeWalker::accept(TDomNode* node) const
{
  if (!whatToShow_.contains(node->nodeType()))
    return TDomFilterResult::Skip;
  return filter_ != nullptr ? filter_->acceptNode(node) : TDomFilterResult::Accept;
}

TDomNode* TDomTreeWalker::moveTo(TDomNode* node)
{
  if (node != nullptr)
    current_ = node;
  return node;
}

TDomNode* TDomTreeWalker::siblingOrAncestorSibling(TDomNode* node, TDirection direction) const
{
  const bool forward = direction == TDirection::Forward;
  for (;;) {
    if (node == root_)
      return nullptr;
    if (TDomNode* sibling = siblingAfter(node, forward))
      return sibling;
    TDomNode* parent = node->parentNode();
    if (parent == nullptr || accept(parent) == TDomFilterResult::Accept)
      return nullptr;
    node = parent;
  }
}

TDomNode* TDomTreeWalker::scanFrom(TDomNode* candidate, TDirection direction) const
{
  const bool forward = direction == TDirection::Forward;
  TDomNode* node = candidate;
  while (node != nullptr) {
    TDomFilterResult result = accept(node);
    if (result == TDomFilterResult::Accept)
      return node;
    if (result == TDomFilterResult::Skip && childAtStart(node, forward) != nullptr) {
      node = childAtStart(node, forward);
      continue;
    }
    node = siblingOrAncestorSibling(node, direction);
  }
  return nullptr;
}

TDomNode* TDomTreeWalker::visibleChild(TDomNode* node, TDirection direction) const
{
  TDomNode* child = childAtStart(node, direction == TDirection::Forward);
  return child != nullptr ? scanFrom(child, direction) : nullptr;
}

TDomNode* TDomTreeWalker::visibleSibling(TDomNode* node, TDirection direction) const
{
  TDomNode* sibling = siblingOrAncestorSibling(node, direction);
  return sibling != nullptr ? scanFrom(sibling, direction) : nullptr;
}

TDomNode* TDomTreeWalker::visibleParent(TDomNode* node) const
{
  while (node != root_ && node != nullptr) {
    node = node->parentNode();
    if (node != nullptr && accept(node) == TDomFilterResult::Accept)
      return node;
  }
  return nullptr;
}

TDomNode* TDomTreeWalker::parentNode() { return moveTo(visibleParent(current_)); }

TDomNode* TDomTreeWalker::firstChild() { return moveTo(visibleChild(current_, TDirection::Forward)); }

TDomNode* TDomTreeWalker::lastChild() { return moveTo(visibleChild(current_, TDirection::Backward)); }

TDomNode* TDomTreeWalker::nextSibling() { return moveTo(visibleSibling(current_, TDirection::Forward)); }

TDomNode* TDomTreeWalker::previousSibling() { return moveTo(visibleSibling(current_, TDirection::Backward)); }

TDomNode* TDomTreeWalker::nextNode()
{
  if (TDomNode* child = visibleChild(current_, TDirection::Forward))
    return moveTo(child);
  for (TDomNode* node = current_; node != nullptr; node = visibleParent(node)) {
    if (TDomNode* sibling = visibleSibling(node, TDirection::Forward))
      return moveTo(sibling);
  }
  return nullptr;
}

// Pre-order backwards: the previous sibling's deepest visible last
// descendant, else the visible parent.
TDomNode* TDomTreeWalker::previousNode()
{
  TDomNode* node = current_;
  while (node != root_ && node != nullptr) {
    TDomNode* sibling = node->previousSibling();
    while (sibling != nullptr) {
      node = sibling;
      TDomFilterResult result = accept(node);
      while (result != TDomFilterResult::Reject && node->lastChild() != nullptr) {
        node = node->lastChild();
        result = accept(node);
      }
      if (result == TDomFilterResult::Accept)
        return moveTo(node);
      sibling = node->previousSibling();
    }
    if (node == root_ || node->parentNode() == nullptr)
      return nullptr;
    node = node->parentNode();
    if (accept(node) == TDomFilterResult::Accept)
      return moveTo(node);
  }
  return nullptr;
}

} // namespace xml

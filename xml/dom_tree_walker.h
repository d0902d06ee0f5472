#pragma once
#include "xml/dom_node_type.h"

namespace xml {

class TDomNode;

enum class TDomFilterResult { Accept = 0, Reject = 1, Skip = 2 };

// Decides, node by node, what a tree walker shows.
class TDomNodeFilter {
public:
  virtual ~TDomNodeFilter() = default;
  virtual TDomFilterResult acceptNode(TDomNode* node) = 0;
};

// Walks the visible nodes below a root (DOM Level 2 Traversal). A node is
// visible when its type is in whatToShow and the filter, if any, accepts it;
// a type not shown counts as skipped (its children may still be visible). Each
// move changes the current node only when it finds a node; all moves are
// iterative.
class TDomTreeWalker {
public:
  TDomTreeWalker(TDomNode* root, TDomNodeTypeSet whatToShow, bool expandEntityReferences, TDomNodeFilter* filter);

  TDomNode* root() const { return root_; }
  TDomNodeTypeSet whatToShow() const { return whatToShow_; }
  TDomNodeFilter* filter() const { return filter_; }
  bool expandEntityReferences() const { return expandEntityReferences_; }
  TDomNode* currentNode() const { return current_; }
  // Raises ENotSupportedError for null.
  void setCurrentNode(TDomNode* node);

  TDomNode* parentNode();
  TDomNode* firstChild();
  TDomNode* lastChild();
  TDomNode* previousSibling();
  TDomNode* nextSibling();
  TDomNode* previousNode();
  TDomNode* nextNode();

private:
  enum class TDirection { Forward, Backward };

  TDomFilterResult accept(TDomNode* node) const;
  TDomNode* moveTo(TDomNode* node);
  // The first (or last) visible node found from `candidate` on: candidate
  // itself, inside a skipped candidate, or in the siblings that follow.
  TDomNode* scanFrom(TDomNode* candidate, TDirection direction) const;
  // The next sibling (in the direction) of `node` or, without one, of its
  // nearest ancestor below an accepted node and the root.
  TDomNode* siblingOrAncestorSibling(TDomNode* node, TDirection direction) const;
  TDomNode* visibleChild(TDomNode* node, TDirection direction) const;
  TDomNode* visibleSibling(TDomNode* node, TDirection direction) const;
  TDomNode* visibleParent(TDomNode* node) const;

  TDomNode* root_;
  TDomNode* current_;
  TDomNodeFilter* filter_;
  TDomNodeTypeSet whatToShow_;
  bool expandEntityReferences_;
};

} // namespace xml

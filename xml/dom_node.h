#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "xml/dom_node_type.h"

namespace xml {

class TDomDocument;
class TDomNamedNodeMap;
class TDomNodeList;
class TDomChildNodeList;

// Base of every node. Nodes are made only by a document's factories and live
// in that document's arena until it is cleared or freed; the links between
// them are plain pointers that own nothing.
class TDomNode {
public:
  TDomNode(const TDomNode&) = delete;
  TDomNode& operator=(const TDomNode&) = delete;

  // The document that made the node; a document is its own owner.
  TDomDocument* ownerDocument() const { return owner_; }
  TDomNodeType nodeType() const { return type_; }
  const std::u16string& nodeName() const { return *name_; }
  // Empty for node kinds without a value.
  virtual std::u16string nodeValue() const;
  // Ignored for node kinds without a value; raises
  // ENoModificationAllowedError on a read-only node.
  virtual void setNodeValue(std::u16string_view value);
  // Empty unless the node was made with a namespace.
  virtual const std::u16string& namespaceURI() const;

  TDomNode* parentNode() const { return parent_; }
  // The live list of the children; never null.
  TDomNodeList* childNodes();
  TDomNode* firstChild() const { return first_; }
  TDomNode* lastChild() const { return last_; }
  TDomNode* previousSibling() const { return prev_; }
  TDomNode* nextSibling() const { return next_; }
  bool hasChildNodes() const { return first_ != nullptr; }
  // The attribute map of an element; null for every other node kind.
  virtual TDomNamedNodeMap* attributes();

  // Tree mutation. Checks, in this order: the child's type is allowed here
  // (EHierarchyRequestError), same document (EWrongDocumentError), the child
  // is not this node or an ancestor (EHierarchyRequestError), neither this
  // node nor the child's parent is read-only (ENoModificationAllowedError),
  // the reference child is a child of this node (ENotFoundError). A failed
  // check changes nothing. A document fragment is moved child by child.
  TDomNode* appendChild(TDomNode* newChild);
  // A null reference child appends.
  TDomNode* insertBefore(TDomNode* newChild, TDomNode* refChild);
  // Returns the replaced child, which stays in the document's pool.
  TDomNode* replaceChild(TDomNode* newChild, TDomNode* oldChild);
  // Detaches without freeing; a non-child raises ENotFoundError.
  TDomNode* removeChild(TDomNode* oldChild);

  bool isReadOnly() const { return readOnly_; }
  void setReadOnly(bool readOnly) { readOnly_ = readOnly; }
  bool canHaveChild(TDomNodeType type) const;

  // The node written as XML text; the walk is iterative, so depth costs
  // nothing but the string.
  virtual std::u16string markup() const;

protected:
  TDomNode(TDomDocument* owner, TDomNodeType type, const std::u16string* name);

  // What the node writes before and after its children.
  virtual void writeMarkupStart(std::u16string& out) const;
  virtual void writeMarkupEnd(std::u16string& out) const;
  // Written after each child when this node is the parent (documents put a
  // line feed there).
  virtual void writeMarkupAfterChild(std::u16string& out) const;
  virtual bool markupIncludesChildren() const { return true; }
  // Extra hierarchy rules of a node kind (one root per document ...), with
  // `replaced` the child about to leave, if any.
  virtual void checkChildKind(const TDomNode* newChild, const TDomNode* replaced) const;
  // Drops the children's links (the nodes stay in the pool).
  void detachChildren();

  // Serialises the subtree of `root` into `out` without recursion.
  static void writeMarkup(const TDomNode* root, std::u16string& out);

private:
  void checkInsertion(TDomNode* newChild, const TDomNode* refChild, const TDomNode* replaced);
  bool isInclusiveAncestorOf(const TDomNode* node) const;
  // Moves the child (or a fragment's children) before refChild, unchecked.
  void insert(TDomNode* newChild, TDomNode* refChild);
  void link(TDomNode* child, TDomNode* before);
  void unlink(TDomNode* child);
  void noteMutation();

  TDomDocument* owner_;
  const std::u16string* name_;
  TDomNode* parent_ = nullptr;
  TDomNode* first_ = nullptr;
  TDomNode* last_ = nullptr;
  TDomNode* prev_ = nullptr;
  TDomNode* next_ = nullptr;
  TDomChildNodeList* childList_ = nullptr;
  TDomNodeType type_;
  bool readOnly_ = false;

  friend class TDomDocument;
};

// Names of the node kinds that have a fixed one.
namespace node_names {
extern const std::u16string kText;
extern const std::u16string kCDataSection;
extern const std::u16string kComment;
extern const std::u16string kDocument;
extern const std::u16string kDocumentFragment;
extern const std::u16string kXmlDeclaration;
extern const std::u16string kEmpty;
} // namespace node_names

} // namespace xml

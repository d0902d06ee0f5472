#include "xml/dom_node.h"

#include "xml/dom_document.h"
#include "xml/dom_exceptions.h"
#include "xml/dom_node_list.h"

namespace xml {

namespace node_names {
const std::u16string kText = u"#text";
const std::u16string kCDataSection = u"#cdata-section";
const std::u16string kComment = u"#comment";
const std::u16string kDocument = u"#document";
const std::u16string kDocumentFragment = u"#document-fragment";
const std::u16string kXmlDeclaration = u"#xml-declaration";
const std::u16string kEmpty;
} // namespace node_names

namespace {

constexpr TDomNodeTypeSet kContentTypes = {1, 3, 4, 5, 7, 8, 11};
constexpr TDomNodeTypeSet kDeclarationTypes = {7, 8, 14, 15, 17, 18, 19, 24, 28};

const TDomNodeTypeSet& allowedChildTypes(TDomNodeType type)
{
  static constexpr TDomNodeTypeSet kNone;
  static constexpr TDomNodeTypeSet kDocumentTypes = {1, 7, 8, 10, 11, 13};
  static constexpr TDomNodeTypeSet kAttributeTypes = {3, 5, 11};
  static constexpr TDomNodeTypeSet kEntityTypes = {1, 3, 4, 5, 7, 8};
  static constexpr TDomNodeTypeSet kDocumentTypeTypes = {31, 32};
  static constexpr TDomNodeTypeSet kInternalSubsetTypes = {7, 8, 15, 17, 18, 19, 24, 28};
  static constexpr TDomNodeTypeSet kExternalSubsetTypes = {7, 8, 14, 15, 17, 18, 19, 24, 27, 28};
  static constexpr TDomNodeTypeSet kExternalParsedEntityTypes = {1, 3, 4, 5, 7, 8, 27};
  static constexpr TDomNodeTypeSet kContentModelTypes = {20, 21, 22, 23};
  static constexpr TDomNodeTypeSet kGroupTypes = {20, 21, 23};
  static constexpr TDomNodeTypeSet kElementParticleTypes = {23};
  static constexpr TDomNodeTypeSet kAttributeDefinitionTypes = {25};
  static constexpr TDomNodeTypeSet kNametokenTypes = {26};
  switch (type) {
  case DOCUMENT_NODE: return kDocumentTypes;
  case ELEMENT_NODE:
  case DOCUMENT_FRAGMENT_NODE: return kContentTypes;
  case ATTRIBUTE_NODE: return kAttributeTypes;
  case ENTITY_NODE:
  case ENTITY_REFERENCE_NODE: return kEntityTypes;
  case DOCUMENT_TYPE_NODE: return kDocumentTypeTypes;
  case INTERNAL_SUBSET_NODE: return kInternalSubsetTypes;
  case EXTERNAL_SUBSET_NODE:
  case EXTERNAL_PARAMETER_ENTITY_NODE: return kExternalSubsetTypes;
  case EXTERNAL_PARSED_ENTITY_NODE: return kExternalParsedEntityTypes;
  case CONDITIONAL_SECTION_NODE:
  case PARAMETER_ENTITY_NODE: return kDeclarationTypes;
  case ELEMENT_TYPE_DECLARATION_NODE: return kContentModelTypes;
  case SEQUENCE_PARTICLE_NODE:
  case CHOICE_PARTICLE_NODE: return kGroupTypes;
  case PCDATA_CHOICE_PARTICLE_NODE: return kElementParticleTypes;
  case ATTRIBUTE_LIST_NODE: return kAttributeDefinitionTypes;
  case ATTRIBUTE_DEFINITION_NODE: return kNametokenTypes;
  default: return kNone;
  }
}

} // namespace

TDomNode::TDomNode(TDomDocument* owner, TDomNodeType type, const std::u16string* name)
    : owner_(owner), name_(name), type_(type)
{
}

std::u16string TDomNode::nodeValue() const { return {}; }

void TDomNode::setNodeValue(std::u16string_view)
{
  if (readOnly_)
    throw ENoModificationAllowedError();
}

const std::u16string& TDomNode::namespaceURI() const { return node_names::kEmpty; }

TDomNamedNodeMap* TDomNode::attributes() { return nullptr; }

TDomNodeList* TDomNode::childNodes()
{
  if (childList_ == nullptr)
    childList_ = owner_->arena().make<TDomChildNodeList>(this);
  return childList_;
}

bool TDomNode::canHaveChild(TDomNodeType type) const { return allowedChildTypes(type_).contains(type); }

void TDomNode::checkChildKind(const TDomNode*, const TDomNode*) const {}

bool TDomNode::isInclusiveAncestorOf(const TDomNode* node) const
{
  // A node without children can only be an ancestor of itself.
  if (first_ == nullptr)
    return node == this;
  // Two pointers at different speeds: meeting again means the parent links
  // run in a circle.
  const TDomNode* slow = node;
  const TDomNode* fast = node;
  while (fast != nullptr) {
    if (fast == this)
      return true;
    fast = fast->parent_;
    if (fast == nullptr)
      return false;
    if (fast == this)
      return true;
    fast = fast->parent_;
    slow = slow->parent_;
    if (fast != nullptr && fast == slow)
      throw EHierarchyRequestError();
  }
  return false;
}

void TDomNode::checkInsertion(TDomNode* newChild, const TDomNode* refChild, const TDomNode* replaced)
{
  if (newChild == nullptr)
    throw ENotFoundError();
  if (!canHaveChild(newChild->type_))
    throw EHierarchyRequestError();
  if (newChild->type_ == DOCUMENT_FRAGMENT_NODE) {
    for (const TDomNode* c = newChild->first_; c != nullptr; c = c->next_) {
      if (!canHaveChild(c->type_))
        throw EHierarchyRequestError();
      checkChildKind(c, replaced);
    }
  } else {
    checkChildKind(newChild, replaced);
  }
  if (newChild->owner_ != owner_)
    throw EWrongDocumentError();
  if (newChild->isInclusiveAncestorOf(this))
    throw EHierarchyRequestError();
  if (readOnly_ || (newChild->parent_ != nullptr && newChild->parent_->readOnly_))
    throw ENoModificationAllowedError();
  if (refChild != nullptr && refChild->parent_ != this)
    throw ENotFoundError();
}

TDomNode* TDomNode::appendChild(TDomNode* newChild) { return insertBefore(newChild, nullptr); }

TDomNode* TDomNode::insertBefore(TDomNode* newChild, TDomNode* refChild)
{
  checkInsertion(newChild, refChild, nullptr);
  if (newChild != refChild)
    insert(newChild, refChild);
  return newChild;
}

void TDomNode::insert(TDomNode* newChild, TDomNode* refChild)
{
  if (newChild->type_ == DOCUMENT_FRAGMENT_NODE) {
    while (TDomNode* moved = newChild->first_) {
      newChild->unlink(moved);
      link(moved, refChild);
    }
  } else {
    if (newChild->parent_ != nullptr)
      newChild->parent_->unlink(newChild);
    link(newChild, refChild);
  }
  noteMutation();
}

TDomNode* TDomNode::replaceChild(TDomNode* newChild, TDomNode* oldChild)
{
  checkInsertion(newChild, oldChild, oldChild);
  if (newChild == oldChild)
    return oldChild;
  insert(newChild, oldChild);
  unlink(oldChild);
  noteMutation();
  return oldChild;
}

TDomNode* TDomNode::removeChild(TDomNode* oldChild)
{
  if (oldChild == nullptr || oldChild->parent_ != this)
    throw ENotFoundError();
  if (readOnly_)
    throw ENoModificationAllowedError();
  unlink(oldChild);
  noteMutation();
  return oldChild;
}

void TDomNode::link(TDomNode* child, TDomNode* before)
{
  child->parent_ = this;
  child->next_ = before;
  child->prev_ = before != nullptr ? before->prev_ : last_;
  if (child->prev_ != nullptr)
    child->prev_->next_ = child;
  else
    first_ = child;
  if (before != nullptr)
    before->prev_ = child;
  else
    last_ = child;
}

void TDomNode::unlink(TDomNode* child)
{
  if (child->prev_ != nullptr)
    child->prev_->next_ = child->next_;
  else
    first_ = child->next_;
  if (child->next_ != nullptr)
    child->next_->prev_ = child->prev_;
  else
    last_ = child->prev_;
  child->parent_ = child->prev_ = child->next_ = nullptr;
}

void TDomNode::detachChildren()
{
  while (first_ != nullptr)
    unlink(first_);
  noteMutation();
}

void TDomNode::noteMutation() { owner_->noteMutation(); }

void TDomNode::writeMarkupStart(std::u16string&) const {}

void TDomNode::writeMarkupEnd(std::u16string&) const {}

void TDomNode::writeMarkupAfterChild(std::u16string&) const {}

void TDomNode::writeMarkup(const TDomNode* root, std::u16string& out)
{
  const TDomNode* node = root;
  for (;;) {
    node->writeMarkupStart(out);
    if (node->markupIncludesChildren() && node->first_ != nullptr) {
      node = node->first_;
      continue;
    }
    for (;;) {
      node->writeMarkupEnd(out);
      if (node == root)
        return;
      const TDomNode* parent = node->parent_;
      parent->writeMarkupAfterChild(out);
      if (node->next_ != nullptr) {
        node = node->next_;
        break;
      }
      node = parent;
    }
  }
}

std::u16string TDomNode::markup() const
{
  std::u16string out;
  writeMarkup(this, out);
  return out;
}

} // namespace xml

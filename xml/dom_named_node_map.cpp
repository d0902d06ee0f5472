#include "xml/dom_named_node_map.h"

#include <algorithm>

#include "xml/dom_attr.h"
#include "xml/dom_document.h"
#include "xml/dom_element.h"
#include "xml/dom_exceptions.h"

namespace xml {

namespace {
// Up to this many entries a comparison with each is as fast as hashing.
constexpr std::uint32_t kLinearLookupLimit = 8;
} // namespace

TDomNamedNodeMap::TDomNamedNodeMap(TDomDocument* ownerDocument, TDomElement* ownerElement,
                                   TDomNodeTypeSet acceptedTypes, bool namespaceMode)
    : ownerDocument_(ownerDocument), ownerElement_(ownerElement), acceptedTypes_(acceptedTypes),
      namespaceMode_(namespaceMode)
{
}

TDomNode* TDomNamedNodeMap::item(int index) const
{
  return index >= 0 && static_cast<std::uint32_t>(index) < count_ ? items_[index] : nullptr;
}

TDomNode* TDomNamedNodeMap::lookup(std::u16string_view name) const
{
  if (index_ != nullptr)
    return index_->find(name);
  for (std::uint32_t i = 0; i < count_; ++i)
    if (items_[i]->nodeName() == name && acceptedTypes_.contains(items_[i]->nodeType()))
      return items_[i];
  return nullptr;
}

int TDomNamedNodeMap::indexOf(const TDomNode* node) const
{
  const auto end = items_ + count_;
  const auto it = std::find(items_, end, node);
  return it == end ? -1 : static_cast<int>(it - items_);
}

void TDomNamedNodeMap::indexEntries()
{
  if (index_ == nullptr)
    index_ = ownerDocument_->arena().make<TNameIndex>();
  index_->clear();
  for (std::uint32_t i = 0; i < count_; ++i)
    if (acceptedTypes_.contains(items_[i]->nodeType()))
      index_->insert(ownerDocument_->arena(), items_[i]);
}

TDomNode* TDomNamedNodeMap::getNamedItem(std::u16string_view name) const
{
  if (namespaceMode_)
    throw ENamespaceError();
  return lookup(name);
}

void TDomNamedNodeMap::append(TDomNode* node)
{
  if (count_ == capacity_) {
    std::uint32_t capacity = capacity_ == 0 ? 4 : capacity_ * 2;
    auto** grown = static_cast<TDomNode**>(
        ownerDocument_->arena().allocate(sizeof(TDomNode*) * capacity, alignof(TDomNode*)));
    std::copy(items_, items_ + count_, grown);
    items_ = grown;
    capacity_ = capacity;
  }
  items_[count_++] = node;
  if (ownerElement_ != nullptr)
    static_cast<TDomAttr*>(node)->setOwnerElement(ownerElement_);
  if (index_ != nullptr) {
    if (acceptedTypes_.contains(node->nodeType()))
      index_->insert(ownerDocument_->arena(), node);
  } else if (count_ > kLinearLookupLimit) {
    indexEntries();
  }
}

void TDomNamedNodeMap::remove(std::uint32_t index)
{
  TDomNode* node = items_[index];
  std::copy(items_ + index + 1, items_ + count_, items_ + index);
  --count_;
  if (ownerElement_ != nullptr)
    static_cast<TDomAttr*>(node)->setOwnerElement(nullptr);
  // A namesake further on may now be the first of its name.
  if (index_ != nullptr)
    indexEntries();
}

TDomNode* TDomNamedNodeMap::setNamedItem(TDomNode* node)
{
  if (node == nullptr || !acceptedTypes_.contains(node->nodeType()))
    throw EHierarchyRequestError();
  if (node->ownerDocument() != ownerDocument_)
    throw EWrongDocumentError();
  if (ownerElement_ != nullptr && ownerElement_->isReadOnly())
    throw ENoModificationAllowedError();
  if (namespaceMode_)
    throw ENamespaceError();
  if (ownerElement_ != nullptr) {
    TDomElement* user = static_cast<TDomAttr*>(node)->ownerElement();
    if (user == ownerElement_)
      return node;
    if (user != nullptr)
      throw EInuseAttributeError();
  }
  TDomNode* replaced = lookup(node->nodeName());
  if (replaced == nullptr) {
    append(node);
    return nullptr;
  }
  if (ownerElement_ != nullptr)
    static_cast<TDomAttr*>(replaced)->setOwnerElement(nullptr);
  items_[indexOf(replaced)] = node;
  if (index_ != nullptr)
    index_->replace(replaced, node);
  if (ownerElement_ != nullptr)
    static_cast<TDomAttr*>(node)->setOwnerElement(ownerElement_);
  return replaced;
}

TDomNode* TDomNamedNodeMap::removeNamedItem(std::u16string_view name)
{
  if (namespaceMode_)
    throw ENamespaceError();
  TDomNode* node = lookup(name);
  if (node == nullptr)
    throw ENotFoundError();
  if (ownerElement_ != nullptr && ownerElement_->isReadOnly())
    throw ENoModificationAllowedError();
  remove(static_cast<std::uint32_t>(indexOf(node)));
  return node;
}

} // namespace xml

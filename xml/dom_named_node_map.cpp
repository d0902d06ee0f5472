#include "xml/dom_named_node_map.h"

#include <algorithm>

#include "xml/dom_attr.h"
#include "xml/dom_document.h"
#include "xml/dom_element.h"
#include "xml/dom_exceptions.h"

namespace xml {

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

int TDomNamedNodeMap::find(std::u16string_view name) const
{
  for (std::uint32_t i = 0; i < count_; ++i)
    if (items_[i]->nodeName() == name && acceptedTypes_.contains(items_[i]->nodeType()))
      return static_cast<int>(i);
  return -1;
}

TDomNode* TDomNamedNodeMap::getNamedItem(std::u16string_view name) const
{
  if (namespaceMode_)
    throw ENamespaceError();
  int index = find(name);
  return index < 0 ? nullptr : items_[index];
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
}

void TDomNamedNodeMap::remove(std::uint32_t index)
{
  TDomNode* node = items_[index];
  std::copy(items_ + index + 1, items_ + count_, items_ + index);
  --count_;
  if (ownerElement_ != nullptr)
    static_cast<TDomAttr*>(node)->setOwnerElement(nullptr);
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
  int index = find(node->nodeName());
  if (index < 0) {
    append(node);
    return nullptr;
  }
  TDomNode* replaced = items_[index];
  if (ownerElement_ != nullptr)
    static_cast<TDomAttr*>(replaced)->setOwnerElement(nullptr);
  items_[index] = node;
  if (ownerElement_ != nullptr)
    static_cast<TDomAttr*>(node)->setOwnerElement(ownerElement_);
  return replaced;
}

TDomNode* TDomNamedNodeMap::removeNamedItem(std::u16string_view name)
{
  if (namespaceMode_)
    throw ENamespaceError();
  int index = find(name);
  if (index < 0)
    throw ENotFoundError();
  if (ownerElement_ != nullptr && ownerElement_->isReadOnly())
    throw ENoModificationAllowedError();
  TDomNode* node = items_[index];
  remove(static_cast<std::uint32_t>(index));
  return node;
}

} // namespace xml

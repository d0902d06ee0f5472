#pragma once
#include <string>
#include <string_view>

#include "xml/dom_node.h"

namespace xml {

class TDomElement;

// An attribute. Its value is held as children: text nodes and entity
// references.
class TDomAttr : public TDomNode {
public:
  TDomAttr(TDomDocument* owner, const std::u16string* name, bool specified = true)
      : TDomNode(owner, ATTRIBUTE_NODE, name), specified_(specified)
  {
  }

  const std::u16string& name() const { return nodeName(); }
  // The text children's data and, for each entity reference, the referenced
  // entity's value, in child order. An undeclared or unusable entity, one
  // that refers back to itself, markup in an entity, or an expansion beyond
  // a few megabytes raises EInvalidEntityReferenceError; an external entity
  // raises ENoExternalEntityAllowedError.
  std::u16string value() const;
  // Replaces the children by one text node holding `value` (also when it is
  // empty). ENoModificationAllowedError on a read-only attribute.
  void setValue(std::u16string_view value);
  std::u16string nodeValue() const override { return value(); }
  void setNodeValue(std::u16string_view value) override { setValue(value); }

  bool specified() const { return specified_; }
  TDomElement* ownerElement() const { return ownerElement_; }
  void setOwnerElement(TDomElement* element) { ownerElement_ = element; }

protected:
  void writeMarkupStart(std::u16string& out) const override;
  void writeMarkupEnd(std::u16string& out) const override;
  bool markupIncludesChildren() const override { return specified_; }

private:
  TDomElement* ownerElement_ = nullptr;
  bool specified_;
};

} // namespace xml

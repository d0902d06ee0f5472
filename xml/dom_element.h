#pragma once
#include <string>
#include <string_view>

#include "xml/dom_node.h"

namespace xml {

class TDomAttr;
class TDomElementsNodeList;

class TDomElement : public TDomNode {
public:
  TDomElement(TDomDocument* owner, const std::u16string* name, const std::u16string* namespaceURI = nullptr,
              bool namespaceMode = false)
      : TDomNode(owner, ELEMENT_NODE, name), namespaceURI_(namespaceURI), namespaceMode_(namespaceMode)
  {
  }

  const std::u16string& tagName() const { return nodeName(); }
  const std::u16string& namespaceURI() const override;
  // Never null for an element.
  TDomNamedNodeMap* attributes() override;

  // The attribute's value, or empty when absent. ENamespaceError for an
  // element made with a namespace.
  std::u16string getAttribute(std::u16string_view name);
  // Sets the existing attribute's value or adds a new attribute. Raises
  // EInvalidCharacterError for a name that is not a Name, ENamespaceError
  // for an element made with a namespace.
  void setAttribute(std::u16string_view name, std::u16string_view value);
  // Null when absent.
  TDomAttr* getAttributeNode(std::u16string_view name);
  bool hasAttribute(std::u16string_view name);
  // ENotFoundError when absent.
  void removeAttribute(std::u16string_view name);

  // The live list of descendant elements named `name` ("*" for all); the
  // same list object for the same name on every call.
  TDomElementsNodeList* getElementsByTagName(std::u16string_view name);

protected:
  void writeMarkupStart(std::u16string& out) const override;
  void writeMarkupEnd(std::u16string& out) const override;

private:
  TDomNamedNodeMap* attributeMap_ = nullptr;
  const std::u16string* namespaceURI_;
  bool namespaceMode_;
};

// Writes text with the five markup characters as character references.
void appendEscapedText(std::u16string& out, std::u16string_view text);

} // namespace xml

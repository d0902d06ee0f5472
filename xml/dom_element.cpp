#include "xml/dom_element.h"

#include "xml/char_classes.h"
#include "xml/dom_attr.h"
#include "xml/dom_document.h"
#include "xml/dom_exceptions.h"
#include "xml/dom_named_node_map.h"
#include "xml/dom_node_list.h"

namespace xml {

void appendEscapedText(std::u16string& out, std::u16string_view text)
{
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t* reference;
    switch (text[i]) {
    case u'"': reference = u"&#34;"; break;
    case u'&': reference = u"&#38;"; break;
    case u'\'': reference = u"&#39;"; break;
    case u'<': reference = u"&#60;"; break;
    case u'>': reference = u"&#62;"; break;
    default: continue;
    }
    out.append(text.data() + run, i - run);
    out += reference;
    run = i + 1;
  }
  out.append(text.data() + run, text.size() - run);
}

const std::u16string& TDomElement::namespaceURI() const
{
  return namespaceURI_ != nullptr ? *namespaceURI_ : node_names::kEmpty;
}

TDomNamedNodeMap* TDomElement::attributes()
{
  if (attributeMap_ == nullptr)
    attributeMap_ = ownerDocument()->arena().make<TDomNamedNodeMap>(ownerDocument(), this,
                                                                      TDomNodeTypeSet{ATTRIBUTE_NODE}, namespaceMode_);
  return attributeMap_;
}

TDomAttr* TDomElement::getAttributeNode(std::u16string_view name)
{
  return static_cast<TDomAttr*>(attributes()->getNamedItem(name));
}

std::u16string TDomElement::getAttribute(std::u16string_view name)
{
  TDomAttr* attribute = getAttributeNode(name);
  return attribute != nullptr ? attribute->value() : std::u16string();
}

bool TDomElement::hasAttribute(std::u16string_view name) { return getAttributeNode(name) != nullptr; }

void TDomElement::setAttribute(std::u16string_view name, std::u16string_view value)
{
  if (TDomAttr* existing = getAttributeNode(name)) {
    existing->setValue(value);
    return;
  }
  TDomAttr* attribute = ownerDocument()->createAttribute(name);
  attribute->setValue(value);
  attributes()->setNamedItem(attribute);
}

void TDomElement::removeAttribute(std::u16string_view name) { attributes()->removeNamedItem(name); }

TDomElementsNodeList* TDomElement::getElementsByTagName(std::u16string_view name)
{
  return ownerDocument()->elementsByTagName(this, name);
}

void TDomElement::writeMarkupStart(std::u16string& out) const
{
  out += u'<';
  out += nodeName();
  if (attributeMap_ != nullptr) {
    for (int i = 0; i < attributeMap_->length(); ++i) {
      auto* attribute = static_cast<const TDomAttr*>(attributeMap_->item(i));
      if (attribute->specified()) {
        out += u' ';
        writeMarkup(attribute, out);
      }
    }
  }
  out += u'>';
}

void TDomElement::writeMarkupEnd(std::u16string& out) const
{
  out += u"</";
  out += nodeName();
  out += u'>';
}

} // namespace xml

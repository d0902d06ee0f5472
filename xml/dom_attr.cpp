#include "xml/dom_attr.h"

#include "xml/dom_character_data.h"
#include "xml/dom_document.h"
#include "xml/dom_exceptions.h"
#include "xml/entity_value.h"

namespace xml {

std::u16string TDomAttr::value() const
{
  std::u16string out;
  for (const TDomNode* child = firstChild(); child != nullptr; child = child->nextSibling()) {
    if (child->nodeType() == ENTITY_REFERENCE_NODE)
      appendEntityValue(*ownerDocument(), child->nodeName(), out);
    else if (child->nodeType() == TEXT_NODE)
      static_cast<const TDomText*>(child)->appendDataTo(out);
  }
  return out;
}

void TDomAttr::setValue(std::u16string_view value)
{
  if (isReadOnly())
    throw ENoModificationAllowedError();
  detachChildren();
  appendChild(ownerDocument()->createTextNode(value));
}

void TDomAttr::writeMarkupStart(std::u16string& out) const
{
  if (!specified_)
    return;
  out += nodeName();
  out += u"=\"";
}

void TDomAttr::writeMarkupEnd(std::u16string& out) const
{
  if (specified_)
    out += u'"';
}

} // namespace xml

#include "xml/dom_document_type.h"

#include "xml/dom_document.h"
#include "xml/dom_named_node_map.h"

namespace xml {

void appendQuoted(std::u16string& out, std::u16string_view text)
{
  char16_t quote = text.find(u'"') == std::u16string_view::npos ? u'"' : u'\'';
  out += quote;
  out += text;
  out += quote;
}

void TDomExternalId::writeMarkup(std::u16string& out) const
{
  if (hasPublicId_) {
    out += u" PUBLIC ";
    appendQuoted(out, publicId_.str());
    if (hasSystemId_) {
      out += u' ';
      appendQuoted(out, systemId_.str());
    }
  } else if (hasSystemId_) {
    out += u" SYSTEM ";
    appendQuoted(out, systemId_.str());
  }
}

TDomDocumentType::TDomDocumentType(TDomDocument* owner, const std::u16string* name, TDomExternalId externalId)
    : TDomNode(owner, DOCUMENT_TYPE_NODE, name), externalId_(externalId)
{
  internalSubset_ = owner->createNode<TDomInternalSubset>();
  externalSubset_ = owner->createNode<TDomExternalSubset>();
  appendChild(internalSubset_);
  appendChild(externalSubset_);
  entities_ = owner->arena().make<TDomNamedNodeMap>(owner, nullptr, TDomNodeTypeSet{ENTITY_NODE}, false);
  parameterEntities_ =
      owner->arena().make<TDomNamedNodeMap>(owner, nullptr, TDomNodeTypeSet{PARAMETER_ENTITY_NODE}, false);
  notations_ = owner->arena().make<TDomNamedNodeMap>(owner, nullptr, TDomNodeTypeSet{NOTATION_NODE}, false);
}

void TDomDocumentType::moveMapsTo(TDomDocument* document)
{
  entities_->setOwnerDocument(document);
  parameterEntities_->setOwnerDocument(document);
  notations_->setOwnerDocument(document);
}

std::u16string TDomDocumentType::internalSubset() const
{
  std::u16string out;
  for (const TDomNode* declaration = internalSubset_->firstChild(); declaration != nullptr;
       declaration = declaration->nextSibling())
    out += declaration->markup();
  return out;
}

void TDomDocumentType::writeMarkupStart(std::u16string& out) const
{
  out += u"<!DOCTYPE ";
  out += nodeName();
  externalId_.writeMarkup(out);
  std::u16string subset = internalSubset();
  if (!subset.empty()) {
    out += u" [";
    out += subset;
    out += u']';
  }
  out += u'>';
}

} // namespace xml

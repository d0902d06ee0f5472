#include "xml/dtd_nodes.h"

#include "xml/dom_document.h"

namespace xml {

void TDomEntityDeclaration::writeMarkupStart(std::u16string& out) const
{
  out += u"<!ENTITY ";
  if (nodeType() == PARAMETER_ENTITY_DECLARATION_NODE)
    out += u"% ";
  out += nodeName();
  if (externalId_.empty()) {
    out += u' ';
    appendQuoted(out, value_.str());
  } else {
    externalId_.writeMarkup(out);
    if (!notationName_.empty()) {
      out += u" NDATA ";
      notationName_.appendTo(out);
    }
  }
  out += u'>';
}

void TDomElementTypeDeclaration::writeMarkupStart(std::u16string& out) const
{
  out += u"<!ELEMENT ";
  out += nodeName();
  out += u' ';
  if (kind_ == TContentKind::Empty)
    out += u"EMPTY";
  else if (kind_ == TContentKind::Any)
    out += u"ANY";
}

void TDomElementTypeDeclaration::writeMarkupEnd(std::u16string& out) const { out += u'>'; }

void TDomContentParticle::writeSeparator(std::u16string& out) const
{
  const TDomNode* parent = parentNode();
  if (parent == nullptr)
    return;
  if (parent->nodeType() == PCDATA_CHOICE_PARTICLE_NODE)
    out += u'|';
  else if (previousSibling() != nullptr)
    out += parent->nodeType() == SEQUENCE_PARTICLE_NODE ? u',' : u'|';
}

void TDomContentParticle::writeMarkupEnd(std::u16string& out) const
{
  out += u')';
  if (occurrence_ != 0)
    out += occurrence_;
}

void TDomSequenceParticle::writeMarkupStart(std::u16string& out) const
{
  writeSeparator(out);
  out += u'(';
}

void TDomChoiceParticle::writeMarkupStart(std::u16string& out) const
{
  writeSeparator(out);
  out += u'(';
}

void TDomPcdataChoiceParticle::writeMarkupStart(std::u16string& out) const { out += u"(#PCDATA"; }

void TDomElementParticle::writeMarkupStart(std::u16string& out) const
{
  writeSeparator(out);
  out += nodeName();
}

void TDomElementParticle::writeMarkupEnd(std::u16string& out) const
{
  if (occurrence() != 0)
    out += occurrence();
}

void TDomAttrList::addDefinition(TDomAttrDefinition* definition)
{
  appendChild(definition);
  definitions_.insert(ownerDocument()->arena(), definition);
}

void TDomAttrList::writeMarkupStart(std::u16string& out) const
{
  out += u"<!ATTLIST ";
  out += nodeName();
}

void TDomAttrList::writeMarkupEnd(std::u16string& out) const { out += u'>'; }

void TDomAttrDefinition::writeMarkupStart(std::u16string& out) const
{
  out += u' ';
  out += nodeName();
  out += u' ';
  if (!attributeType_.empty())
    attributeType_.appendTo(out);
  if (enumerated())
    out += attributeType_.empty() ? u"(" : u" (";
}

void TDomAttrDefinition::writeMarkupEnd(std::u16string& out) const
{
  if (enumerated())
    out += u')';
  if (!defaultKind_.empty()) {
    out += u' ';
    defaultKind_.appendTo(out);
  }
  if (!defaultKind_.equals(u"#REQUIRED") && !defaultKind_.equals(u"#IMPLIED")) {
    out += u' ';
    appendQuoted(out, defaultValue_.str());
  }
}

void TDomNametoken::writeMarkupStart(std::u16string& out) const
{
  if (previousSibling() != nullptr)
    out += u'|';
  out += nodeName();
}

void TDomTextDeclaration::writeMarkupStart(std::u16string& out) const
{
  out += u"<?xml";
  if (!version_.empty()) {
    out += u" version=\"";
    version_.appendTo(out);
    out += u'"';
  }
  out += u" encoding=\"";
  encoding_.appendTo(out);
  out += u"\"?>";
}

void TDomNotationDeclaration::writeMarkupStart(std::u16string& out) const
{
  out += u"<!NOTATION ";
  out += nodeName();
  externalId_.writeMarkup(out);
  out += u'>';
}

void TDomConditionalSection::writeMarkupStart(std::u16string& out) const
{
  out += u"<![";
  out += nodeName();
  out += u'[';
  ignoredText_.appendTo(out);
}

void TDomConditionalSection::writeMarkupEnd(std::u16string& out) const { out += u"]]>"; }

void TDomParameterEntityReference::writeMarkupStart(std::u16string& out) const
{
  out += u'%';
  out += nodeName();
  out += u';';
}

} // namespace xml

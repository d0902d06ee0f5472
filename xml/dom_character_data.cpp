#include "xml/dom_character_data.h"

#include "xml/dom_document.h"
#include "xml/dom_element.h"
#include "xml/dom_exceptions.h"

namespace xml {

void TDomCharacterData::setData(std::u16string_view data)
{
  if (isReadOnly())
    throw ENoModificationAllowedError();
  data_ = TCompactText::store(ownerDocument()->arena(), data);
}

void TDomCharacterData::appendData(std::u16string_view data)
{
  if (isReadOnly())
    throw ENoModificationAllowedError();
  data_ = TCompactText::concat(ownerDocument()->arena(), data_, data);
}

void TDomText::writeMarkupStart(std::u16string& out) const
{
  std::u16string units;
  appendDataTo(units);
  appendEscapedText(out, units);
}

void TDomCDATASection::writeMarkupStart(std::u16string& out) const
{
  out += u"<![CDATA[";
  appendDataTo(out);
  out += u"]]>";
}

void TDomComment::writeMarkupStart(std::u16string& out) const
{
  out += u"<!--";
  appendDataTo(out);
  out += u"-->";
}

void TDomProcessingInstruction::writeMarkupStart(std::u16string& out) const
{
  out += u"<?";
  out += target();
  out += u' ';
  appendDataTo(out);
  out += u"?>";
}

void TDomEntityReference::writeMarkupStart(std::u16string& out) const
{
  out += u'&';
  out += nodeName();
  out += u';';
}

} // namespace xml

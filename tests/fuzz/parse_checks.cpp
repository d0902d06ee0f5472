#include "parse_checks.h"

#include <exception>

#include "xml/dom.h"
#include "xml/dom_parser.h"

namespace fuzz {

namespace {

void readLikeTheProgram(xml::TDomDocument* document)
{
  xml::TDomTreeWalker* walker = document->createTreeWalker(document, {1, 9}, true, nullptr);
  while (xml::TDomNode* node = walker->nextNode()) {
    if (xml::TDomNamedNodeMap* attributes = node->attributes()) {
      for (int i = 0; i < attributes->length(); ++i) {
        try {
          attributes->item(i)->nodeValue();
        } catch (const xml::EDomException&) {
        }
      }
    }
  }
  xml::TDomNodeList* all = document->getElementsByTagName(u"*");
  for (int i = 0; i < all->length(); ++i)
    all->item(i)->childNodes()->length();
}

} // namespace

bool parseAndCheck(const std::uint8_t* data, std::size_t size)
{
  xml::TDomImplementation dom;
  xml::TDomParser parser(&dom);
  std::u16string markup;
  try {
    xml::TDomDocument* document = parser.parseBuffer(data, size);
    readLikeTheProgram(document);
    markup = document->markup();
    dom.freeDocument(document);
  } catch (const std::exception&) {
    markup.clear();
  }
  if (dom.documents()->length() != 0)
    return false;
  if (!markup.empty()) {
    try {
      dom.freeDocument(parser.parseWideString(markup));
    } catch (const std::exception&) {
      return false;
    }
  }
  try {
    xml::TDomDocumentType* doctype = dom.createDocument(u"d", dom.createDocumentType(u"d", u"", u""))->doctype();
    parser.parseExternalSubsetBufferInto(data, size, doctype);
  } catch (const std::exception&) {
  }
  return true;
}

} // namespace fuzz

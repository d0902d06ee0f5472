#include "xml/content_handler.h"

namespace xml {

void TContentHandler::comment(TDomParser*, const TLocator*, std::u16string_view) {}
void TContentHandler::cdataSection(TDomParser*, const TLocator*, std::u16string_view) {}
void TContentHandler::charRef(TDomParser*, const TLocator*, std::u16string_view) {}
void TContentHandler::doctypeDecl(TDomParser*, const TLocator*, std::u16string_view, std::u16string_view,
                                  std::u16string_view, std::u16string_view)
{
}
void TContentHandler::endDocument(TDomParser*) {}
void TContentHandler::endElement(TDomParser*, const TLocator*, std::u16string_view) {}
void TContentHandler::entityRef(TDomParser*, const TLocator*, std::u16string_view) {}
void TContentHandler::characters(TDomParser*, const TLocator*, std::u16string_view) {}
void TContentHandler::processingInstruction(TDomParser*, const TLocator*, std::u16string_view, std::u16string_view)
{
}
void TContentHandler::startDocument(TDomParser*, std::u16string_view) {}
void TContentHandler::startElement(TDomParser*, const TLocator*, std::u16string_view, std::u16string_view) {}
void TContentHandler::xmlDeclaration(TDomParser*, const TLocator*, std::u16string_view, std::u16string_view,
                                     std::u16string_view)
{
}

} // namespace xml

#include "app/container/parsed_document.h"

#include "xml/dom.h"
#include "xml/dom_parser.h"

namespace app {

ParsedDocument::ParsedDocument(xml::TDomParser& parser, const std::string& file)
    : implementation_(*parser.DOMImpl()), document_(parser.parseFile(file)) {}

ParsedDocument::~ParsedDocument() { implementation_.freeDocument(document_); }

}  // namespace app

#include "xml/dtd_handler.h"

namespace xml {

void TDtdHandler::attributeDefinition(TDomParser*, const TLocator*, const TAttributeDefinitionText&) {}
void TDtdHandler::comment(TDomParser*, const TLocator*, std::u16string_view) {}
void TDtdHandler::conditionalSection(TDomParser*, const TLocator*, std::u16string_view, std::u16string_view) {}
void TDtdHandler::elementDeclaration(TDomParser*, const TLocator*, std::u16string_view, std::u16string_view) {}
void TDtdHandler::endAttributeList(TDomParser*, const TLocator*) {}
void TDtdHandler::endSubset(TDomParser*, const TLocator*) {}
void TDtdHandler::entityDeclaration(TDomParser*, const TLocator*, const TEntityDeclarationText&) {}
void TDtdHandler::notationDeclaration(TDomParser*, const TLocator*, std::u16string_view, const TExternalIdText&) {}
void TDtdHandler::parameterEntityDeclaration(TDomParser*, const TLocator*, const TEntityDeclarationText&) {}
void TDtdHandler::parameterEntityReference(TDomParser*, const TLocator*, std::u16string_view) {}
void TDtdHandler::processingInstruction(TDomParser*, const TLocator*, std::u16string_view, std::u16string_view) {}
void TDtdHandler::startAttributeList(TDomParser*, const TLocator*, std::u16string_view) {}
void TDtdHandler::startSubset(TDomParser*, const TLocator*) {}
void TDtdHandler::textDeclaration(TDomParser*, const TLocator*, std::u16string_view, std::u16string_view) {}

} // namespace xml

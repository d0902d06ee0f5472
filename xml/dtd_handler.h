#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "xml/declaration_scanner.h"

namespace xml {

class TDomParser;
class TLocator;

// What an entity declaration says, as the subset reader found it.
struct TEntityDeclarationText {
  std::u16string_view name;
  bool hasValue = false;
  // The literal between its quotes, references unresolved.
  std::u16string_view value;
  TExternalIdText externalId;
  std::u16string_view notationName;
};

// One attribute definition of an attribute-list declaration.
struct TAttributeDefinitionText {
  std::u16string_view name;
  // "CDATA", "ID", ..., "NOTATION", or empty for an enumeration.
  std::u16string_view attributeType;
  std::vector<std::u16string_view> names;
  // "#REQUIRED", "#IMPLIED", "#FIXED" or empty.
  std::u16string_view defaultKind;
  std::u16string_view defaultValue;
};

// The events of the subset readers, one per declaration token. This base
// ignores everything.
class TDtdHandler {
public:
  virtual ~TDtdHandler() = default;
  virtual void attributeDefinition(TDomParser* sender, const TLocator* locator,
                                   const TAttributeDefinitionText& definition);
  virtual void comment(TDomParser* sender, const TLocator* locator, std::u16string_view text);
  virtual void conditionalSection(TDomParser* sender, const TLocator* locator, std::u16string_view keyword,
                                  std::u16string_view innerText);
  virtual void elementDeclaration(TDomParser* sender, const TLocator* locator, std::u16string_view name,
                                  std::u16string_view contentSpec);
  virtual void endAttributeList(TDomParser* sender, const TLocator* locator);
  virtual void endSubset(TDomParser* sender, const TLocator* locator);
  virtual void entityDeclaration(TDomParser* sender, const TLocator* locator,
                                 const TEntityDeclarationText& declaration);
  virtual void notationDeclaration(TDomParser* sender, const TLocator* locator, std::u16string_view name,
                                   const TExternalIdText& externalId);
  virtual void parameterEntityDeclaration(TDomParser* sender, const TLocator* locator,
                                          const TEntityDeclarationText& declaration);
  virtual void parameterEntityReference(TDomParser* sender, const TLocator* locator, std::u16string_view name);
  virtual void processingInstruction(TDomParser* sender, const TLocator* locator, std::u16string_view target,
                                     std::u16string_view data);
  virtual void startAttributeList(TDomParser* sender, const TLocator* locator, std::u16string_view elementName);
  virtual void startSubset(TDomParser* sender, const TLocator* locator);
  virtual void textDeclaration(TDomParser* sender, const TLocator* locator, std::u16string_view version,
                               std::u16string_view encoding);
};

} // namespace xml

#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "xml/dtd_handler.h"
#include "xml/parser_exceptions.h"

namespace xml {

class TDomDocumentType;
class TDomEntity;
class TDomNode;
class TErrorHandler;

// Shared by the builders of one document type, nested ones included: where
// entities go, and the budgets that keep small input from growing without
// end.
struct TDtdContext {
  TDomDocumentType* doctype = nullptr;
  TErrorHandler* errorHandler = nullptr;
  // Units of replacement text read or resolved so far.
  std::size_t expandedUnits = 0;
  std::size_t nestedReads = 0;
  // Parameter entities and conditional sections being read, innermost last.
  std::vector<const TDomNode*> open;
  std::size_t warnings = 0;
};

// Turns a subset reader's events into declaration nodes below a reference
// node (a subset, a parameter entity or a conditional section) and fills the
// document type's entity, parameter-entity and notation maps.
class TSubsetBuilder : public TDtdHandler {
public:
  TDomNode* referenceNode() const { return reference_; }
  void setReferenceNode(TDomNode* node) { reference_ = node; }
  void setContext(TDtdContext* context) { context_ = context; }

  void attributeDefinition(TDomParser* sender, const TLocator* locator,
                           const TAttributeDefinitionText& definition) override;
  void comment(TDomParser* sender, const TLocator* locator, std::u16string_view text) override;
  void elementDeclaration(TDomParser* sender, const TLocator* locator, std::u16string_view name,
                          std::u16string_view contentSpec) override;
  void endAttributeList(TDomParser* sender, const TLocator* locator) override;
  void endSubset(TDomParser* sender, const TLocator* locator) override;
  void entityDeclaration(TDomParser* sender, const TLocator* locator,
                         const TEntityDeclarationText& declaration) override;
  void notationDeclaration(TDomParser* sender, const TLocator* locator, std::u16string_view name,
                           const TExternalIdText& externalId) override;
  void parameterEntityDeclaration(TDomParser* sender, const TLocator* locator,
                                  const TEntityDeclarationText& declaration) override;
  void parameterEntityReference(TDomParser* sender, const TLocator* locator, std::u16string_view name) override;
  void processingInstruction(TDomParser* sender, const TLocator* locator, std::u16string_view target,
                             std::u16string_view data) override;
  void startAttributeList(TDomParser* sender, const TLocator* locator, std::u16string_view elementName) override;
  void startSubset(TDomParser* sender, const TLocator* locator) override;

protected:
  enum class TSubsetKind { Internal, External };
  explicit TSubsetBuilder(TSubsetKind kind) : kind_(kind) {}

  TDomNode* current() const { return current_; }
  TDtdContext& context() const { return *context_; }
  // Appends `node` to the current node; a refused append raises `Error`.
  template <class Error>
  void append(TDomNode* node, const char* message);
  // Reads `text` as a subset of this builder's kind into `node`. False when
  // the read failed.
  bool readNested(TDomParser* sender, TDomNode* node, std::u16string_view text, const TLocator* locator);
  // Counts `units` against the expansion budget and `node` against the
  // nesting limit; raises `Error` past either.
  template <class Error>
  void enter(const TDomNode* node, std::size_t units, const char* message);

private:
  // The replacement text of an entity value: character references decoded,
  // parameter-entity references expanded (external subset only), general
  // entity references kept.
  std::u16string replacementText(std::u16string_view literal);
  void warn(TDomParser* sender, const TLocator* locator, std::u16string_view source, const EParserWarning& warning);
  // Parses `text` as content into the entity; false (and no children) when
  // it is not well-formed.
  bool buildReplacementTree(TDomEntity& entity, std::u16string_view text);

  TSubsetKind kind_;
  TDomNode* reference_ = nullptr;
  TDomNode* current_ = nullptr;
  TDtdContext* context_ = nullptr;
};

// Rejects conditional sections and text declarations.
class TIntSubsetBuilder : public TSubsetBuilder {
public:
  TIntSubsetBuilder() : TSubsetBuilder(TSubsetKind::Internal) {}
  void conditionalSection(TDomParser* sender, const TLocator* locator, std::u16string_view keyword,
                          std::u16string_view innerText) override;
  void textDeclaration(TDomParser* sender, const TLocator* locator, std::u16string_view version,
                       std::u16string_view encoding) override;
};

class TExtSubsetBuilder : public TSubsetBuilder {
public:
  TExtSubsetBuilder() : TSubsetBuilder(TSubsetKind::External) {}
  void conditionalSection(TDomParser* sender, const TLocator* locator, std::u16string_view keyword,
                          std::u16string_view innerText) override;
  void textDeclaration(TDomParser* sender, const TLocator* locator, std::u16string_view version,
                       std::u16string_view encoding) override;
};

} // namespace xml

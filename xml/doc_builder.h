#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "xml/content_handler.h"
#include "xml/entity_reference_checks.h"

namespace xml {

class TDomDocument;
class TDomNode;
class TDomText;

// Turns a reader's events into nodes below a reference node (normally a new
// document) and enforces the tree-level well-formedness rules. While there
// is no current node every event is ignored.
class TDocBuilder : public TContentHandler {
public:
  TDomNode* referenceNode() const { return reference_; }
  void setReferenceNode(TDomNode* node) { reference_ = node; }

  void comment(TDomParser* sender, const TLocator* locator, std::u16string_view text) override;
  void cdataSection(TDomParser* sender, const TLocator* locator, std::u16string_view text) override;
  void charRef(TDomParser* sender, const TLocator* locator, std::u16string_view token) override;
  void doctypeDecl(TDomParser* sender, const TLocator* locator, std::u16string_view name,
                   std::u16string_view publicId, std::u16string_view systemId,
                   std::u16string_view internalSubset) override;
  void endDocument(TDomParser* sender) override;
  void endElement(TDomParser* sender, const TLocator* locator, std::u16string_view name) override;
  void entityRef(TDomParser* sender, const TLocator* locator, std::u16string_view name) override;
  void characters(TDomParser* sender, const TLocator* locator, std::u16string_view text) override;
  void processingInstruction(TDomParser* sender, const TLocator* locator, std::u16string_view target,
                             std::u16string_view data) override;
  void startDocument(TDomParser* sender, std::u16string_view formatName) override;
  void startElement(TDomParser* sender, const TLocator* locator, std::u16string_view name,
                    std::u16string_view attributeText) override;
  void xmlDeclaration(TDomParser* sender, const TLocator* locator, std::u16string_view version,
                      std::u16string_view encoding, std::u16string_view standalone) override;

private:
  TDomDocument* document() const;
  bool atDocumentLevel() const;
  // Text and character references go into one text node. The first piece
  // becomes the node at once; pieces that follow collect in pendingText_
  // and replace its data when the next other event (or the end) comes, so
  // long runs of small pieces cost linear time.
  void addText(std::u16string_view units);
  void flushText();
  // Appends `node` to the current node; a refused append raises `Error`
  // with `message` instead of the DOM's exception.
  template <class Error>
  void append(TDomNode* node, const char* message);
  // The checks of entity references, for a whole document only: an
  // entity's own replacement tree is judged where the entity is used. Made
  // at the first reference, when the document type is complete.
  TEntityReferenceChecks* entityChecks();

  TDomNode* reference_ = nullptr;
  TDomNode* current_ = nullptr;
  TDomText* openText_ = nullptr;
  std::u16string pendingText_;
  std::optional<TEntityReferenceChecks> entityChecks_;
};

} // namespace xml

#pragma once
#include <string_view>

namespace xml {

class TDomParser;
class TLocator;

// The events a document reader sends, one per token. Every event gets the
// sender (the parser front-end, or null) and all but the document events the
// locator. This base ignores everything.
class TContentHandler {
public:
  virtual ~TContentHandler() = default;
  virtual void comment(TDomParser* sender, const TLocator* locator, std::u16string_view text);
  virtual void cdataSection(TDomParser* sender, const TLocator* locator, std::u16string_view text);
  // The whole reference, "&#...;".
  virtual void charRef(TDomParser* sender, const TLocator* locator, std::u16string_view token);
  virtual void doctypeDecl(TDomParser* sender, const TLocator* locator, std::u16string_view name,
                           std::u16string_view publicId, std::u16string_view systemId,
                           std::u16string_view internalSubset);
  virtual void endDocument(TDomParser* sender);
  virtual void endElement(TDomParser* sender, const TLocator* locator, std::u16string_view name);
  virtual void entityRef(TDomParser* sender, const TLocator* locator, std::u16string_view name);
  virtual void characters(TDomParser* sender, const TLocator* locator, std::u16string_view text);
  virtual void processingInstruction(TDomParser* sender, const TLocator* locator, std::u16string_view target,
                                     std::u16string_view data);
  // The format name the input source found by its pre-scan.
  virtual void startDocument(TDomParser* sender, std::u16string_view formatName);
  // The tag's text after the name: its attributes, still unparsed.
  virtual void startElement(TDomParser* sender, const TLocator* locator, std::u16string_view name,
                            std::u16string_view attributeText);
  virtual void xmlDeclaration(TDomParser* sender, const TLocator* locator, std::u16string_view version,
                              std::u16string_view encoding, std::u16string_view standalone);
};

} // namespace xml

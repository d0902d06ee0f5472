#pragma once
#include <cstddef>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "xml/doc_builder.h"
#include "xml/doc_reader.h"
#include "xml/input_source.h"
#include "xml/parser_error.h"
#include "xml/subset_builder.h"
#include "xml/subset_reader.h"

namespace xml {

class TDomDocument;
class TDomDocumentType;
class TDomImplementation;
class TDomNode;
class TLocator;

// Asked for the text of an external subset named by a document type
// declaration; leaving `extSubset` empty skips it.
using TParserEvent = std::function<void(TDomParser* sender, const std::u16string& publicId,
                                        const std::u16string& systemId, std::u16string& extSubset)>;

// The parser front-end: reads a file, stream, buffer or string into a new
// document owned by DOMImpl, or into a given node. Every failure raises; a
// failed parse leaves no new document behind in DOMImpl.
//
//   xml::TDomImplementation Dom;
//   xml::TDomParser Parser(&Dom);          // or Parser.setDOMImpl(&Dom)
//   xml::TDomDocument* doc = Parser.parseFile("ftpsend.xml");
//   ...
//   Dom.freeDocument(doc);
class TDomParser {
public:
  explicit TDomParser(TDomImplementation* domImpl = nullptr);
  TDomParser(const TDomParser&) = delete;
  TDomParser& operator=(const TDomParser&) = delete;

  TDomImplementation* DOMImpl() const { return domImpl_; }
  void setDOMImpl(TDomImplementation* domImpl) { domImpl_ = domImpl; }
  const TParserEvent& OnExternalSubset() const { return onExternalSubset_; }
  void setOnExternalSubset(TParserEvent handler) { onExternalSubset_ = std::move(handler); }
  // The records of the last document parse (and of its subsets).
  TStandardErrorHandler& errorHandler() { return errorHandler_; }
  // Routes the readers' reports to `handler` instead (null: nowhere, so a
  // failed parse raises EParserException "Parser error."); the standard
  // handler above is the default.
  void setErrorHandler(TErrorHandler* handler);

  // Parses `fileName` (the system's bytes). Raises EAccessViolation
  // "DOMImplementation not specified." / "Filename not specified.",
  // EFOpenError for a file that cannot be opened, EReadError when reading
  // fails, and EParserFatalError "EParserFatalError: Fatal Error." for a
  // document that is not well-formed (the records say why).
  TDomDocument* parseFile(const std::string& fileName);
  // The same for `size` bytes at `buffer` ("Pointer not specified." for null).
  TDomDocument* parseBuffer(const void* buffer, std::size_t size);
  // The pieces read one after the other ("Stream not specified." for null).
  TDomDocument* parseWideStringList(const std::vector<std::u16string>* pieces);
  // "Stream not specified." for null; the stream must be seekable.
  TDomDocument* parseStream(std::istream* stream);
  // The bytes as they are; "Empty string." when there are none.
  TDomDocument* parseString(const std::string& text);
  // UTF-16; "Empty string." when empty.
  TDomDocument* parseWideString(const std::u16string& text);

  // Reads into `node` (a document is cleared first; null makes a new
  // document in DOMImpl). A failed read raises EParserException "Parser
  // error." when no error handler raised first.
  void parseStreamInto(std::istream* stream, const std::u16string& publicId, TDomNode* node,
                       const std::u16string& systemId);
  void parseBufferInto(const void* buffer, std::size_t size, TDomNode* node, const std::u16string& publicId,
                       const std::u16string& systemId);
  void parseStringListInto(const std::vector<std::string>& pieces, TDomNode* node, const std::u16string& publicId,
                           const std::u16string& systemId);
  void parseStringInto(const std::string& text, TDomNode* node, const std::u16string& publicId,
                       const std::u16string& systemId);
  void parseWideStringInto(std::u16string_view text, TDomNode* node, const std::u16string& publicId,
                           const std::u16string& systemId);

  // Reads a subset's text into a document type; a null document type does
  // nothing. Raises like parseStreamInto.
  void parseInternalSubsetStreamInto(std::istream* stream, TDomDocumentType* doctype,
                                     const std::u16string& publicId, const std::u16string& systemId);
  void parseInternalSubsetBufferInto(const void* buffer, std::size_t size, TDomDocumentType* doctype);
  void parseInternalSubsetStringListInto(const std::vector<std::string>& pieces, TDomDocumentType* doctype);
  void parseInternalSubsetStringInto(const std::string& text, TDomDocumentType* doctype);
  void parseInternalSubsetWideStringInto(std::u16string_view text, TDomDocumentType* doctype);
  void parseExternalSubsetStreamInto(std::istream* stream, TDomDocumentType* doctype,
                                     const std::u16string& publicId, const std::u16string& systemId);
  void parseExternalSubsetBufferInto(const void* buffer, std::size_t size, TDomDocumentType* doctype);
  void parseExternalSubsetStringListInto(const std::vector<std::string>& pieces, TDomDocumentType* doctype);
  void parseExternalSubsetStringInto(const std::string& text, TDomDocumentType* doctype);
  void parseExternalSubsetWideStringInto(std::u16string_view text, TDomDocumentType* doctype);

  // Called back by the document reader for a document type declaration:
  // reads the internal subset, and the external one if OnExternalSubset
  // supplies it, into the document's document type. Errors in the internal
  // subset report the identifiers of `documentLocator`'s document and their
  // place in it, the subset's first unit standing at `internalSubsetStart`.
  void parseDocumentTypeSubsets(std::u16string_view internalSubset, const std::u16string& publicId,
                                const std::u16string& systemId, const TLocator* documentLocator = nullptr,
                                TTextPosition internalSubsetStart = {});

private:
  enum class TSubsetKind { Internal, External };

  // The steps every whole-document parse shares: checks, a clean error
  // list, and no new document left behind on failure.
  template <class Parse>
  TDomDocument* parseDocument(bool inputGiven, const char* missingInput, Parse&& parse);
  void parseSourceInto(TInputSource& source, TDomNode* node);
  void parseSubsetInto(TSubsetKind kind, TInputSource& source, TDomDocumentType* doctype);
  // The same for bytes (their declaration decides the encoding) and for
  // UTF-16 text, whose first unit sits at origin.
  void parseSubsetInto(TSubsetKind kind, std::istream* stream, TDomDocumentType* doctype,
                       const std::u16string& publicId, const std::u16string& systemId);
  void parseSubsetInto(TSubsetKind kind, std::u16string_view text, TDomDocumentType* doctype,
                       const std::u16string& publicId = u"", const std::u16string& systemId = u"",
                       TTextPosition origin = {});

  TDomDocument* documentSlot_ = nullptr;
  TDomImplementation* domImpl_;
  TDocBuilder documentBuilder_;
  TDocReader documentReader_;
  TStandardErrorHandler errorHandler_;
  TErrorHandler* activeErrorHandler_ = &errorHandler_;
  TExtSubsetBuilder externalSubsetBuilder_;
  TExtSubsetReader externalSubsetReader_;
  TIntSubsetBuilder internalSubsetBuilder_;
  TIntSubsetReader internalSubsetReader_;
  TParserEvent onExternalSubset_;

  friend class TDocBuilder;
};

} // namespace xml

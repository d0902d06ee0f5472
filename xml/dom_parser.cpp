#include "xml/dom_parser.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "xml/dom_document.h"
#include "xml/dom_document_type.h"
#include "xml/dom_implementation.h"
#include "xml/entity_reference_checks.h"
#include "xml/input_source.h"
#include "xml/locator.h"
#include "xml/memory_stream.h"
#include "xml/stream_exceptions.h"
#include "xml/text_conversion.h"

namespace xml {

namespace {

std::vector<std::string_view> piecesOf(const std::vector<std::string>& pieces)
{
  return std::vector<std::string_view>(pieces.begin(), pieces.end());
}

} // namespace

TDomParser::TDomParser(TDomImplementation* domImpl) : domImpl_(domImpl)
{
  documentReader_.setContentHandler(&documentBuilder_);
  documentReader_.setErrorHandler(&errorHandler_);
  externalSubsetReader_.setDtdHandler(&externalSubsetBuilder_);
  externalSubsetReader_.setErrorHandler(&errorHandler_);
  internalSubsetReader_.setDtdHandler(&internalSubsetBuilder_);
  internalSubsetReader_.setErrorHandler(&errorHandler_);
}

void TDomParser::setErrorHandler(TErrorHandler* handler)
{
  activeErrorHandler_ = handler;
  documentReader_.setErrorHandler(handler);
  externalSubsetReader_.setErrorHandler(handler);
  internalSubsetReader_.setErrorHandler(handler);
}

template <class Parse>
TDomDocument* TDomParser::parseDocument(bool inputGiven, const char* missingInput, Parse&& parse)
{
  if (domImpl_ == nullptr)
    throw EAccessViolation("DOMImplementation not specified.");
  if (!inputGiven)
    throw EAccessViolation(missingInput);
  TDomDocument* saved = documentSlot_;
  try {
    parse();
  } catch (...) {
    if (documentSlot_ != saved && documentSlot_ != nullptr)
      domImpl_->freeDocument(documentSlot_);
    documentSlot_ = saved;
    throw;
  }
  TDomDocument* document = documentSlot_;
  documentSlot_ = saved;
  return document;
}

TDomDocument* TDomParser::parseFile(const std::string& fileName)
{
  std::u16string systemId = fromUtf8(fileName);
  TDomDocument* document = parseDocument(!fileName.empty(), "Filename not specified.", [&] {
    // Read through the stream's own buffer: the file never sits in memory
    // whole next to its document.
    std::ifstream file(fileName, std::ios::binary);
    if (!file.is_open())
      throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    errorHandler_.clearErrors();
    parseStreamInto(&file, std::u16string(), nullptr, systemId);
  });
  document->setFileName(fileName);
  return document;
}

TDomDocument* TDomParser::parseBuffer(const void* buffer, std::size_t size)
{
  return parseDocument(buffer != nullptr, "Pointer not specified.", [&] {
    TMemoryStream stream({std::string_view(static_cast<const char*>(buffer), size)});
    errorHandler_.clearErrors();
    parseStreamInto(&stream, std::u16string(), nullptr, std::u16string());
  });
}

TDomDocument* TDomParser::parseWideStringList(const std::vector<std::u16string>* pieces)
{
  return parseDocument(pieces != nullptr, "Stream not specified.", [&] {
    std::u16string_view first = pieces->empty() ? std::u16string_view() : std::u16string_view(pieces->front());
    std::vector<std::string_view> bytes = wideTextPieces(first);
    for (std::size_t i = 1; i < pieces->size(); ++i)
      bytes.emplace_back(reinterpret_cast<const char*>((*pieces)[i].data()), (*pieces)[i].size() * sizeof(char16_t));
    TMemoryStream stream(std::move(bytes));
    errorHandler_.clearErrors();
    TInputSource source(&stream, std::u16string(), std::u16string(), TDeclaredEncoding::Ignored);
    parseSourceInto(source, nullptr);
  });
}

TDomDocument* TDomParser::parseStream(std::istream* stream)
{
  return parseDocument(stream != nullptr, "Stream not specified.", [&] {
    errorHandler_.clearErrors();
    parseStreamInto(stream, std::u16string(), nullptr, std::u16string());
  });
}

TDomDocument* TDomParser::parseString(const std::string& text)
{
  return parseDocument(!text.empty(), "Empty string.", [&] {
    errorHandler_.clearErrors();
    parseStringInto(text, nullptr, std::u16string(), std::u16string());
  });
}

TDomDocument* TDomParser::parseWideString(const std::u16string& text)
{
  return parseDocument(!text.empty(), "Empty string.", [&] {
    errorHandler_.clearErrors();
    parseWideStringInto(text, nullptr, std::u16string(), std::u16string());
  });
}

void TDomParser::parseStreamInto(std::istream* stream, const std::u16string& publicId, TDomNode* node,
                                 const std::u16string& systemId)
{
  TInputSource source(stream, publicId, systemId);
  parseSourceInto(source, node);
}

void TDomParser::parseSourceInto(TInputSource& source, TDomNode* node)
{
  TDomNode* saved = documentBuilder_.referenceNode();
  documentBuilder_.setReferenceNode(node);
  bool parsed;
  try {
    parsed = documentReader_.parse(this, source);
  } catch (...) {
    documentBuilder_.setReferenceNode(saved);
    throw;
  }
  documentBuilder_.setReferenceNode(saved);
  if (!parsed)
    throw EParserException("Parser error.");
}

void TDomParser::parseBufferInto(const void* buffer, std::size_t size, TDomNode* node, const std::u16string& publicId,
                                 const std::u16string& systemId)
{
  TMemoryStream stream({std::string_view(static_cast<const char*>(buffer), buffer != nullptr ? size : 0)});
  parseStreamInto(&stream, publicId, node, systemId);
}

void TDomParser::parseStringListInto(const std::vector<std::string>& pieces, TDomNode* node,
                                     const std::u16string& publicId, const std::u16string& systemId)
{
  TMemoryStream stream(piecesOf(pieces));
  parseStreamInto(&stream, publicId, node, systemId);
}

void TDomParser::parseStringInto(const std::string& text, TDomNode* node, const std::u16string& publicId,
                                 const std::u16string& systemId)
{
  TMemoryStream stream({std::string_view(text)});
  parseStreamInto(&stream, publicId, node, systemId);
}

void TDomParser::parseWideStringInto(std::u16string_view text, TDomNode* node, const std::u16string& publicId,
                                     const std::u16string& systemId)
{
  TMemoryStream stream(wideTextPieces(text));
  TInputSource source(&stream, publicId, systemId, TDeclaredEncoding::Ignored);
  parseSourceInto(source, node);
}

void TDomParser::parseSubsetInto(TSubsetKind kind, TInputSource& source, TDomDocumentType* doctype)
{
  if (doctype == nullptr)
    return;
  const bool internal = kind == TSubsetKind::Internal;
  TSubsetReader& reader = internal ? static_cast<TSubsetReader&>(internalSubsetReader_) : externalSubsetReader_;
  TSubsetBuilder& builder = internal ? static_cast<TSubsetBuilder&>(internalSubsetBuilder_) : externalSubsetBuilder_;
  TDomNode* node = internal ? static_cast<TDomNode*>(doctype->internalSubsetNode()) : doctype->externalSubsetNode();
  TDtdContext context;
  context.doctype = doctype;
  context.errorHandler = activeErrorHandler_;
  TDomNode* saved = builder.referenceNode();
  builder.setReferenceNode(node);
  builder.setContext(&context);
  bool parsed;
  try {
    parsed = reader.parse(this, source);
  } catch (...) {
    builder.setReferenceNode(saved);
    builder.setContext(nullptr);
    throw;
  }
  builder.setReferenceNode(saved);
  builder.setContext(nullptr);
  if (!parsed)
    throw EParserException("Parser error.");
}

void TDomParser::parseSubsetInto(TSubsetKind kind, std::istream* stream, TDomDocumentType* doctype,
                                 const std::u16string& publicId, const std::u16string& systemId)
{
  TInputSource source(stream, publicId, systemId);
  parseSubsetInto(kind, source, doctype);
}

void TDomParser::parseSubsetInto(TSubsetKind kind, std::u16string_view text, TDomDocumentType* doctype,
                                 const std::u16string& publicId, const std::u16string& systemId,
                                 TTextPosition origin)
{
  TMemoryStream stream(wideTextPieces(text));
  TInputSource source(&stream, publicId, systemId, TDeclaredEncoding::Ignored);
  source.setOrigin(origin);
  parseSubsetInto(kind, source, doctype);
}

void TDomParser::parseInternalSubsetStreamInto(std::istream* stream, TDomDocumentType* doctype,
                                               const std::u16string& publicId, const std::u16string& systemId)
{
  parseSubsetInto(TSubsetKind::Internal, stream, doctype, publicId, systemId);
}

void TDomParser::parseInternalSubsetBufferInto(const void* buffer, std::size_t size, TDomDocumentType* doctype)
{
  TMemoryStream stream({std::string_view(static_cast<const char*>(buffer), buffer != nullptr ? size : 0)});
  parseSubsetInto(TSubsetKind::Internal, &stream, doctype, u"", u"");
}

void TDomParser::parseInternalSubsetStringListInto(const std::vector<std::string>& pieces, TDomDocumentType* doctype)
{
  TMemoryStream stream(piecesOf(pieces));
  parseSubsetInto(TSubsetKind::Internal, &stream, doctype, u"", u"");
}

void TDomParser::parseInternalSubsetStringInto(const std::string& text, TDomDocumentType* doctype)
{
  TMemoryStream stream({std::string_view(text)});
  parseSubsetInto(TSubsetKind::Internal, &stream, doctype, u"", u"");
}

void TDomParser::parseInternalSubsetWideStringInto(std::u16string_view text, TDomDocumentType* doctype)
{
  parseSubsetInto(TSubsetKind::Internal, text, doctype);
}

void TDomParser::parseExternalSubsetStreamInto(std::istream* stream, TDomDocumentType* doctype,
                                               const std::u16string& publicId, const std::u16string& systemId)
{
  parseSubsetInto(TSubsetKind::External, stream, doctype, publicId, systemId);
}

void TDomParser::parseExternalSubsetBufferInto(const void* buffer, std::size_t size, TDomDocumentType* doctype)
{
  TMemoryStream stream({std::string_view(static_cast<const char*>(buffer), buffer != nullptr ? size : 0)});
  parseSubsetInto(TSubsetKind::External, &stream, doctype, u"", u"");
}

void TDomParser::parseExternalSubsetStringListInto(const std::vector<std::string>& pieces, TDomDocumentType* doctype)
{
  TMemoryStream stream(piecesOf(pieces));
  parseSubsetInto(TSubsetKind::External, &stream, doctype, u"", u"");
}

void TDomParser::parseExternalSubsetStringInto(const std::string& text, TDomDocumentType* doctype)
{
  TMemoryStream stream({std::string_view(text)});
  parseSubsetInto(TSubsetKind::External, &stream, doctype, u"", u"");
}

void TDomParser::parseExternalSubsetWideStringInto(std::u16string_view text, TDomDocumentType* doctype)
{
  parseSubsetInto(TSubsetKind::External, text, doctype);
}

void TDomParser::parseDocumentTypeSubsets(std::u16string_view internalSubset, const std::u16string& publicId,
                                          const std::u16string& systemId, const TLocator* documentLocator,
                                          TTextPosition internalSubsetStart)
{
  TDomNode* reference = documentBuilder_.referenceNode();
  TDomDocumentType* doctype = reference != nullptr ? reference->ownerDocument()->doctype() : nullptr;
  if (doctype == nullptr)
    return;
  if (!internalSubset.empty())
    parseSubsetInto(TSubsetKind::Internal, internalSubset, doctype,
                    documentLocator != nullptr ? documentLocator->publicId() : std::u16string(),
                    documentLocator != nullptr ? documentLocator->systemId() : std::u16string(), internalSubsetStart);
  if ((!publicId.empty() || !systemId.empty()) && onExternalSubset_) {
    std::u16string externalSubset;
    onExternalSubset_(this, publicId, systemId, externalSubset);
    if (!externalSubset.empty())
      parseSubsetInto(TSubsetKind::External, externalSubset, doctype, publicId, systemId);
  }
  TEntityReferenceChecks(*doctype->ownerDocument()).inAttributeDefaults();
}

} // namespace xml

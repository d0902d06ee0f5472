#include "xml/dom_implementation.h"

#include <algorithm>

#include "xml/char_classes.h"
#include "xml/dom_document.h"
#include "xml/dom_document_type.h"
#include "xml/dom_element.h"
#include "xml/dom_exceptions.h"
#include "xml/dom_node_list.h"

namespace xml {

namespace {

struct TDocumentFormat {
  std::u16string namespaceURI;
  std::u16string qualifiedName;
  TDomDocumentFactory factory;
};

std::vector<TDocumentFormat>& formatRegistry()
{
  static std::vector<TDocumentFormat> registry;
  return registry;
}

std::unique_ptr<TDomDocument> makePlainDocument(TDomImplementation* implementation)
{
  return std::make_unique<TDomDocument>(implementation);
}

const TDocumentFormat* findFormat(std::u16string_view namespaceURI, std::u16string_view qualifiedName)
{
  for (const TDocumentFormat& format : formatRegistry())
    if (format.namespaceURI == namespaceURI && format.qualifiedName == qualifiedName)
      return &format;
  return nullptr;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b)
{
  auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) {
           return lower(x) == lower(y);
         });
}

} // namespace

TDomImplementation::TDomImplementation() = default;

int TDomImplementation::TDocumentList::length() const { return static_cast<int>(owner_.documents_.size()); }

TDomNode* TDomImplementation::TDocumentList::item(int index) const
{
  return index >= 0 && index < length() ? owner_.documents_[index].get() : nullptr;
}

int TDomImplementation::TDocumentTypeList::length() const
{
  return static_cast<int>(owner_.freeDocumentTypes_.size());
}

TDomNode* TDomImplementation::TDocumentTypeList::item(int index) const
{
  return index >= 0 && index < length() ? owner_.freeDocumentTypes_[index].doctype : nullptr;
}

TDomImplementation::~TDomImplementation() { clear(); }

std::vector<TDomImplementation::TFreeDocumentType>::iterator
TDomImplementation::findFreeDocumentType(const TDomDocumentType* doctype)
{
  return std::find_if(freeDocumentTypes_.begin(), freeDocumentTypes_.end(),
                      [&](const TFreeDocumentType& entry) { return entry.doctype == doctype; });
}

TDomDocument* TDomImplementation::adoptDocument(std::unique_ptr<TDomDocument> document, TDomDocumentType* doctype)
{
  TDomDocument* result = document.get();
  documents_.push_back(std::move(document));
  if (doctype != nullptr) {
    auto entry = findFreeDocumentType(doctype);
    result->adopt(*entry->holder, doctype);
    freeDocumentTypes_.erase(entry);
    doctype->setReadOnly(false);
    result->appendChild(doctype);
    doctype->setReadOnly(true);
  }
  return result;
}

TDomDocument* TDomImplementation::createDocument(std::u16string_view name, TDomDocumentType* doctype)
{
  if (doctype != nullptr && findFreeDocumentType(doctype) == freeDocumentTypes_.end())
    throw EWrongDocumentError();
  if (!isXmlName(name))
    throw EInvalidCharacterError();
  const TDocumentFormat* format = findFormat(u"", name);
  TDomDocument* document =
      adoptDocument(format != nullptr ? format->factory(this) : makePlainDocument(this), doctype);
  document->appendChild(document->createElement(name));
  return document;
}

TDomDocument* TDomImplementation::createDocumentNS(std::u16string_view namespaceURI,
                                                   std::u16string_view qualifiedName, TDomDocumentType* doctype)
{
  if (doctype != nullptr && findFreeDocumentType(doctype) == freeDocumentTypes_.end())
    throw EWrongDocumentError();
  if (!isXmlName(qualifiedName))
    throw EInvalidCharacterError();
  if (!isXmlQName(qualifiedName))
    throw ENamespaceError();
  // Check the name before the document joins the list.
  TDomDocument scratch(this);
  scratch.createElementNS(namespaceURI, qualifiedName);
  const TDocumentFormat* format = findFormat(namespaceURI, qualifiedName);
  TDomDocument* document =
      adoptDocument(format != nullptr ? format->factory(this) : makePlainDocument(this), doctype);
  document->appendChild(document->createElementNS(namespaceURI, qualifiedName));
  return document;
}

TDomDocumentType* TDomImplementation::createDocumentType(std::u16string_view name, std::u16string_view publicId,
                                                         std::u16string_view systemId)
{
  auto holder = std::make_unique<TDomDocument>(this);
  TDomDocumentType* doctype = holder->createDocumentType(name, publicId, systemId);
  freeDocumentTypes_.push_back({std::move(holder), doctype});
  return doctype;
}

bool TDomImplementation::hasFeature(std::u16string_view feature, std::u16string_view version) const
{
  if (version.empty() || version == u"1.0")
    return equalsIgnoringCase(feature, u"XML");
  if (version == u"2.0")
    return equalsIgnoringCase(feature, u"XML") || equalsIgnoringCase(feature, u"VIEWS") ||
           equalsIgnoringCase(feature, u"TRAVERSAL");
  return false;
}

void TDomImplementation::freeDocument(TDomDocument* document)
{
  auto it = std::find_if(documents_.begin(), documents_.end(),
                         [&](const std::unique_ptr<TDomDocument>& entry) { return entry.get() == document; });
  if (it == documents_.end())
    throw ENotFoundError("Document not found error.");
  std::unique_ptr<TDomDocument> freed = std::move(*it);
  documents_.erase(it);
  freed->clear();
}

void TDomImplementation::freeDocumentType(TDomDocumentType* doctype)
{
  auto it = findFreeDocumentType(doctype);
  if (it == freeDocumentTypes_.end())
    throw ENotFoundError("DocumentType not found error.");
  freeDocumentTypes_.erase(it);
}

void TDomImplementation::clear()
{
  documents_.clear();
  freeDocumentTypes_.clear();
}

void TDomImplementation::registerDocumentFormat(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                                                TDomDocumentFactory factory)
{
  if (qualifiedName == u"default")
    throw EInvalidAccessError();
  formatRegistry().push_back({std::u16string(namespaceURI), std::u16string(qualifiedName), factory});
}

TDomDocumentFactory TDomImplementation::documentFormat(std::u16string_view namespaceURI,
                                                       std::u16string_view qualifiedName)
{
  if (namespaceURI.empty() && qualifiedName == u"default")
    return makePlainDocument;
  const TDocumentFormat* format = findFormat(namespaceURI, qualifiedName);
  if (format == nullptr)
    throw EUnknownDocumentFormatError();
  return format->factory;
}

} // namespace xml

#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xml/dom_node_list.h"

namespace xml {

class TDomDocument;
class TDomDocumentType;
class TDomImplementation;
class TDomNode;
class TDomNodeList;

// Makes an (empty) document of a registered format.
using TDomDocumentFactory = std::unique_ptr<TDomDocument> (*)(TDomImplementation* implementation);

// Creates documents and owns them: a document lives until freeDocument, clear
// or the implementation's destruction.
class TDomImplementation {
public:
  TDomImplementation();
  TDomImplementation(const TDomImplementation&) = delete;
  TDomImplementation& operator=(const TDomImplementation&) = delete;
  // Frees every document and free-standing document type (clear).
  ~TDomImplementation();

  // A new document of the format registered for ("", name) (a plain
  // TDomDocument otherwise) with a root element called `name`, preceded by
  // `doctype` if given. Raises EWrongDocumentError for a doctype that is not
  // one of this implementation's free-standing ones, EInvalidCharacterError
  // for a name that is not a Name.
  TDomDocument* createDocument(std::u16string_view name, TDomDocumentType* doctype);
  // The same with the checks of XML namespaces (ENamespaceError).
  TDomDocument* createDocumentNS(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                                 TDomDocumentType* doctype);
  // A document type that belongs to no document yet.
  TDomDocumentType* createDocumentType(std::u16string_view name, std::u16string_view publicId,
                                       std::u16string_view systemId);
  // "XML" for version "1.0" or empty; "XML", "VIEWS" and "TRAVERSAL" for
  // "2.0"; features compare without regard to case.
  bool hasFeature(std::u16string_view feature, std::u16string_view version) const;

  // Frees a document of this implementation; ENotFoundError "Document not
  // found error." for any other (null included).
  void freeDocument(TDomDocument* document);
  // ENotFoundError "DocumentType not found error." when not free-standing here.
  void freeDocumentType(TDomDocumentType* doctype);
  void clear();

  TDomNodeList* documents() { return &documentsView_; }
  TDomNodeList* documentTypes() { return &documentTypesView_; }

  // The process-wide registry of document formats. The qualified name
  // "default" is reserved (EInvalidAccessError).
  static void registerDocumentFormat(std::u16string_view namespaceURI, std::u16string_view qualifiedName,
                                     TDomDocumentFactory factory);
  // The factory for the pair; ("", "default") gives plain documents, an
  // unregistered pair raises EUnknownDocumentFormatError.
  static TDomDocumentFactory documentFormat(std::u16string_view namespaceURI, std::u16string_view qualifiedName);

private:
  struct TFreeDocumentType {
    std::unique_ptr<TDomDocument> holder;
    TDomDocumentType* doctype;
  };

  // Views over the two lists.
  class TDocumentList final : public TDomNodeList {
  public:
    explicit TDocumentList(const TDomImplementation& owner) : owner_(owner) {}
    int length() const override;
    TDomNode* item(int index) const override;

  private:
    const TDomImplementation& owner_;
  };
  class TDocumentTypeList final : public TDomNodeList {
  public:
    explicit TDocumentTypeList(const TDomImplementation& owner) : owner_(owner) {}
    int length() const override;
    TDomNode* item(int index) const override;

  private:
    const TDomImplementation& owner_;
  };

  TDomDocument* adoptDocument(std::unique_ptr<TDomDocument> document, TDomDocumentType* doctype);
  std::vector<TFreeDocumentType>::iterator findFreeDocumentType(const TDomDocumentType* doctype);

  std::vector<std::unique_ptr<TDomDocument>> documents_;
  std::vector<TFreeDocumentType> freeDocumentTypes_;
  TDocumentList documentsView_{*this};
  TDocumentTypeList documentTypesView_{*this};
};

} // namespace xml

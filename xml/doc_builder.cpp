#include "xml/doc_builder.h"

#include <vector>

#include "xml/attribute_rules.h"
#include "xml/char_classes.h"
#include "xml/dom.h"
#include "xml/dom_parser.h"
#include "xml/parser_exceptions.h"
#include "xml/stream_exceptions.h"

namespace xml {

namespace {

// More attributes on one element than any real document has; the limit
// keeps a small file from making the parser build without end.
constexpr std::size_t kMaxAttributesPerElement = 65536;

// Puts the attributes the rules find into an element.
class TElementAttributes : public TAttributeSink {
public:
  // The names of the entities the values refer to go to `references`.
  TElementAttributes(TDomDocument* document, TDomElement* element, std::vector<const std::u16string*>& references)
      : document_(document), map_(element->attributes()), references_(references)
  {
  }

  bool hasAttribute(std::u16string_view name) const override { return map_->lookup(name) != nullptr; }
  void addAttribute(std::u16string_view name, std::u16string_view value) override
  {
    TDomAttr* attribute = add(name);
    attribute->appendChild(document_->createTextNode(value));
  }
  void beginAttribute(std::u16string_view name) override { open_ = add(name); }
  void appendText(std::u16string_view text) override { open_->appendChild(document_->createTextNode(text)); }
  void appendEntityReference(std::u16string_view name) override
  {
    TDomNode* reference = document_->createEntityReference(name);
    open_->appendChild(reference);
    references_.push_back(&reference->nodeName());
  }

private:
  TDomAttr* add(std::u16string_view name)
  {
    if (static_cast<std::size_t>(map_->length()) >= kMaxAttributesPerElement)
      throw EParserMissingStartTagError("Invalid start tag error.");
    TDomAttr* attribute = document_->createNode<TDomAttr>(document_->internName(name));
    map_->append(attribute);
    return attribute;
  }

  TDomDocument* document_;
  TDomNamedNodeMap* map_;
  TDomAttr* open_ = nullptr;
  std::vector<const std::u16string*>& references_;
};

} // namespace

TDomDocument* TDocBuilder::document() const { return current_->ownerDocument(); }

TEntityReferenceChecks* TDocBuilder::entityChecks()
{
  if (reference_->nodeType() != DOCUMENT_NODE)
    return nullptr;
  if (!entityChecks_)
    entityChecks_.emplace(*document());
  return &*entityChecks_;
}

bool TDocBuilder::atDocumentLevel() const { return current_->nodeType() == DOCUMENT_NODE; }

template <class Error>
void TDocBuilder::append(TDomNode* node, const char* message)
{
  try {
    current_->appendChild(node);
  } catch (const EDomException&) {
    throw Error(message);
  }
}

void TDocBuilder::addText(std::u16string_view units)
{
  if (openText_ == nullptr) {
    TDomNode* last = current_->lastChild();
    if (last == nullptr || last->nodeType() != TEXT_NODE) {
      TDomText* text = document()->createTextNode(units);
      append<EParserInvalidCharacterError>(text, "Invalid character error.");
      openText_ = text;
      return;
    }
    openText_ = static_cast<TDomText*>(last);
  }
  if (pendingText_.empty())
    openText_->appendDataTo(pendingText_);
  pendingText_ += units;
}

void TDocBuilder::flushText()
{
  if (openText_ == nullptr)
    return;
  if (!pendingText_.empty())
    openText_->setData(pendingText_);
  openText_ = nullptr;
  pendingText_.clear();
  if (pendingText_.capacity() > 64 * 1024)
    std::u16string().swap(pendingText_);
}

void TDocBuilder::startDocument(TDomParser* sender, std::u16string_view formatName)
{
  openText_ = nullptr;
  pendingText_.clear();
  entityChecks_.reset();
  if (reference_ != nullptr) {
    if (reference_->nodeType() == DOCUMENT_NODE) {
      static_cast<TDomDocument*>(reference_)->clear();
    } else {
      while (TDomNode* child = reference_->firstChild())
        reference_->removeChild(child);
    }
  } else if (sender != nullptr && sender->DOMImpl() != nullptr) {
    TDomDocument* created = sender->DOMImpl()->createDocument(formatName.empty() ? u"default" : formatName, nullptr);
    sender->documentSlot_ = created;
    created->clear();
    reference_ = created;
  }
  current_ = reference_;
}

// [23] XMLDecl: only as the very first child of a document.
void TDocBuilder::xmlDeclaration(TDomParser*, const TLocator*, std::u16string_view version,
                                 std::u16string_view encoding, std::u16string_view standalone)
{
  if (current_ == nullptr)
    return;
  if (!atDocumentLevel() || current_->hasChildNodes())
    throw EParserWrongOrderError("Wrong order error.");
  TDomXmlDeclaration* declaration;
  try {
    declaration = document()->createXmlDeclaration(version, encoding, standalone);
  } catch (const EDomException&) {
    throw EParserInvalidXmlDeclarationError("Invalid xml-declaration error.");
  }
  append<EParserInvalidXmlDeclarationError>(declaration, "Invalid xml-declaration error.");
}

// [28] doctypedecl: once, before the root element.
void TDocBuilder::doctypeDecl(TDomParser*, const TLocator*, std::u16string_view name, std::u16string_view publicId,
                              std::u16string_view systemId, std::u16string_view)
{
  if (current_ == nullptr)
    return;
  flushText();
  if (!atDocumentLevel() || document()->documentElement() != nullptr)
    throw EParserWrongOrderError("Wrong order declaration error.");
  if (document()->doctype() != nullptr)
    throw EParserDoubleDoctypeError("Double doctype declaration error.");
  TDomDocumentType* doctype;
  try {
    doctype = document()->createDocumentType(name, publicId, systemId);
  } catch (const EDomException&) {
    throw EParserInvalidDoctypeError("Invalid doctype declaration error.");
  }
  doctype->setReadOnly(false);
  append<EParserInvalidDoctypeError>(doctype, "Invalid doctype declaration error.");
  doctype->setReadOnly(true);
}

// [39] element: one root per document; attribute errors surface as an
// invalid start tag.
void TDocBuilder::startElement(TDomParser*, const TLocator*, std::u16string_view name,
                               std::u16string_view attributeText)
{
  if (current_ == nullptr)
    return;
  flushText();
  if (!isXmlName(name))
    throw EParserInvalidElementNameError("Invalid element name error.");
  if (atDocumentLevel() && document()->documentElement() != nullptr)
    throw EParserDoubleRootElementError("Double root element error.");
  TDomDocument* doc = document();
  TDomElement* element;
  std::vector<const std::u16string*> references;
  try {
    element = doc->createNode<TDomElement>(doc->internName(name));
    if (!attributeText.empty()) {
      TElementAttributes attributes(doc, element, references);
      parseAttributes(attributeText, attributes);
    }
    current_->appendChild(element);
  } catch (const EParserException&) {
    throw EParserMissingStartTagError("Invalid start tag error.");
  } catch (const EDomException&) {
    throw EParserMissingStartTagError("Invalid start tag error.");
  }
  current_ = element;
  if (!references.empty())
    if (TEntityReferenceChecks* checks = entityChecks())
      for (const std::u16string* reference : references)
        checks->inAttributeValue(*reference);
}

void TDocBuilder::endElement(TDomParser*, const TLocator*, std::u16string_view name)
{
  if (current_ == nullptr)
    return;
  flushText();
  if (current_->nodeType() != ELEMENT_NODE || current_->nodeName() != name)
    throw EParserMissingStartTagError("Missing start tag error.");
  current_ = current_->parentNode();
}

// [14] CharData: white space outside the root is dropped, other text there
// is an error; inside elements all text is kept.
void TDocBuilder::characters(TDomParser*, const TLocator*, std::u16string_view text)
{
  if (current_ == nullptr)
    return;
  if (atDocumentLevel()) {
    if (isXmlWhiteSpaceText(text))
      return;
    throw EParserInvalidCharacterError("Invalid character error.");
  }
  if (!isXmlCharData(text))
    throw EParserInvalidCharacterError("Invalid character error.");
  addText(text);
}

// [66] CharRef
void TDocBuilder::charRef(TDomParser*, const TLocator*, std::u16string_view token)
{
  if (current_ == nullptr)
    return;
  std::u16string units;
  try {
    units = decodeXmlCharRef(token);
  } catch (const EConvertError&) {
    throw EParserInvalidCharRefError("Invalid character reference error.");
  }
  if (atDocumentLevel())
    throw EParserInvalidCharacterError("Invalid character error.");
  addText(units);
}

// [68] EntityRef: kept as a reference node, never expanded.
void TDocBuilder::entityRef(TDomParser*, const TLocator*, std::u16string_view name)
{
  if (current_ == nullptr)
    return;
  flushText();
  TDomEntityReference* reference;
  try {
    reference = document()->createEntityReference(name);
  } catch (const EDomException&) {
    throw EParserInvalidEntityNameError("Invalid entity name error.");
  }
  append<EParserInvalidEntityNameError>(reference, "Invalid entity name error.");
  if (TEntityReferenceChecks* checks = entityChecks())
    checks->inContent(reference->nodeName());
}

// [15] Comment ::= '<!--' ((Char - '-') | ('-' (Char - '-')))* '-->'
void TDocBuilder::comment(TDomParser*, const TLocator*, std::u16string_view text)
{
  if (current_ == nullptr)
    return;
  flushText();
  if (!isXmlCommentText(text))
    throw EParserInvalidCharacterError("Invalid character error.");
  append<EParserInvalidCharacterError>(document()->createComment(text), "Invalid character error.");
}

// [18] CDSect
void TDocBuilder::cdataSection(TDomParser*, const TLocator*, std::u16string_view text)
{
  if (current_ == nullptr)
    return;
  flushText();
  if (!isXmlCDataContent(text))
    throw EParserInvalidCharacterError("Invalid character error.");
  append<EParserInvalidCharacterError>(document()->createCDATASection(text), "Invalid character error.");
}

// [16] PI; [17] PITarget excludes "xml" in any case.
void TDocBuilder::processingInstruction(TDomParser*, const TLocator*, std::u16string_view target,
                                        std::u16string_view data)
{
  if (current_ == nullptr)
    return;
  flushText();
  if (target == u"xml" || !isXmlChars(data))
    throw EParserInvalidProcessingInstructionError("Invalid processing instruction error.");
  TDomProcessingInstruction* instruction;
  try {
    instruction = document()->createProcessingInstruction(target, data);
  } catch (const EDomException&) {
    throw EParserInvalidProcessingInstructionError("Invalid processing instruction error.");
  }
  append<EParserInvalidProcessingInstructionError>(instruction, "Invalid processing instruction error.");
}

void TDocBuilder::endDocument(TDomParser*)
{
  if (current_ == nullptr)
    return;
  flushText();
  if (current_ != reference_)
    throw EParserMissingEndTagError("Missing end tag error.");
  if (reference_->nodeType() == DOCUMENT_NODE && static_cast<TDomDocument*>(reference_)->documentElement() == nullptr)
    throw EParserRootNotFoundError("Root not found error.");
}

} // namespace xml

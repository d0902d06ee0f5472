#include "xml/subset_builder.h"

#include <algorithm>

#include "xml/char_classes.h"
#include "xml/content_model.h"
#include "xml/doc_builder.h"
#include "xml/doc_reader.h"
#include "xml/dom.h"
#include "xml/input_source.h"
#include "xml/locator.h"
#include "xml/memory_stream.h"
#include "xml/parser_error.h"
#include "xml/parser_exceptions.h"
#include "xml/stream_exceptions.h"
#include "xml/subset_reader.h"

namespace xml {

namespace {

// Replacement text read through parameter entities and conditional
// sections, and resolved into entity values, per document type.
constexpr std::size_t kMaxExpandedUnits = 8 * 1024 * 1024;
constexpr std::size_t kMaxNesting = 64;
// Parameter-entity references and included sections read per document type.
constexpr std::size_t kMaxNestedReads = 10000;
// Duplicate declarations reported at most; parsing goes on silently after.
constexpr std::size_t kMaxWarnings = 1000;

template <class Reader, class Builder>
bool readSubset(TDomParser* sender, TDomNode* node, std::u16string_view text, TDtdContext& context,
                const TLocator* locator)
{
  Reader reader;
  Builder builder;
  builder.setReferenceNode(node);
  builder.setContext(&context);
  reader.setDtdHandler(&builder);
  reader.setErrorHandler(context.errorHandler);
  TMemoryStream stream(wideTextPieces(text));
  TInputSource source(&stream, locator != nullptr ? locator->publicId() : std::u16string(),
                      locator != nullptr ? locator->systemId() : std::u16string(), TDeclaredEncoding::Ignored);
  // The text stands nowhere in the file; its errors count on from where the
  // reference or section that brought it in begins.
  if (locator != nullptr)
    source.setOrigin(locator->start());
  try {
    return reader.parse(sender, source);
  } catch (const EParserException&) {
    return false;
  }
}

TDomExternalId storeExternalId(TDomDocument& document, const TExternalIdText& text)
{
  return TDomExternalId(document.storeText(text.publicId), document.storeText(text.systemId), text.hasPublicId,
                        text.hasSystemId);
}

// "<?xml" and white space: what only the start of a document or of an
// external entity may hold.
bool holdsXmlDeclaration(std::u16string_view text)
{
  for (std::size_t at = text.find(u"<?xml"); at != std::u16string_view::npos; at = text.find(u"<?xml", at + 1))
    if (at + 5 < text.size() && isXmlWhiteSpace(text[at + 5]))
      return true;
  return false;
}

// Pops the nesting entry of a parameter entity or section on every exit.
class TNestingGuard {
public:
  explicit TNestingGuard(TDtdContext& context) : context_(context) {}
  ~TNestingGuard() { context_.open.pop_back(); }

private:
  TDtdContext& context_;
};

} // namespace

template <class Error>
void TSubsetBuilder::append(TDomNode* node, const char* message)
{
  try {
    current_->appendChild(node);
  } catch (const EDomException&) {
    throw Error(message);
  }
}

template <class Error>
void TSubsetBuilder::enter(const TDomNode* node, std::size_t units, const char* message)
{
  auto& open = context_->open;
  if (std::find(open.begin(), open.end(), node) != open.end() || open.size() >= kMaxNesting ||
      context_->nestedReads >= kMaxNestedReads ||
      units > kMaxExpandedUnits - std::min(kMaxExpandedUnits, context_->expandedUnits))
    throw Error(message);
  context_->expandedUnits += units;
  ++context_->nestedReads;
  open.push_back(node);
}

bool TSubsetBuilder::readNested(TDomParser* sender, TDomNode* node, std::u16string_view text,
                                const TLocator* locator)
{
  if (kind_ == TSubsetKind::Internal)
    return readSubset<TIntSubsetReader, TIntSubsetBuilder>(sender, node, text, *context_, locator);
  return readSubset<TExtSubsetReader, TExtSubsetBuilder>(sender, node, text, *context_, locator);
}

void TSubsetBuilder::warn(TDomParser* sender, const TLocator* locator, std::u16string_view source,
                          const EParserWarning& warning)
{
  if (sender == nullptr || context_->errorHandler == nullptr || context_->warnings >= kMaxWarnings)
    return;
  ++context_->warnings;
  context_->errorHandler->warning(sender, locator, std::u16string(source), warning);
}

// [9] EntityValue ::= '"' ([^%&"] | PEReference | Reference)* '"'
std::u16string TSubsetBuilder::replacementText(std::u16string_view literal)
{
  auto invalid = [] { throw EParserInvalidEntityDeclarationError("Invalid entity declaration error."); };
  std::u16string out;
  std::size_t i = 0;
  while (i < literal.size()) {
    char16_t c = literal[i];
    if (c != u'&' && c != u'%') {
      out += c;
      ++i;
      continue;
    }
    std::size_t semicolon = literal.find(u';', i);
    if (semicolon == std::u16string_view::npos)
      invalid();
    std::u16string_view reference = literal.substr(i, semicolon - i + 1);
    std::u16string_view name = reference.substr(1, reference.size() - 2);
    if (c == u'&' && !name.empty() && name[0] == u'#') {
      try {
        out += decodeXmlCharRef(reference);
      } catch (const EConvertError&) {
        invalid();
      }
    } else if (!isXmlName(name)) {
      invalid();
    } else if (c == u'&') {
      out += reference;
    } else {
      // Parameter-entity references inside declarations belong to the
      // external subset only.
      if (kind_ == TSubsetKind::Internal)
        invalid();
      auto* entity = static_cast<TDomParameterEntity*>(context_->doctype->parameterEntities()->getNamedItem(name));
      if (entity == nullptr)
        invalid();
      out += entity->replacementText();
    }
    i = semicolon + 1;
    if (out.size() > kMaxExpandedUnits)
      invalid();
  }
  context_->expandedUnits += out.size();
  if (context_->expandedUnits > kMaxExpandedUnits)
    invalid();
  return out;
}

void TSubsetBuilder::startSubset(TDomParser*, const TLocator*)
{
  if (reference_ != nullptr)
    while (TDomNode* child = reference_->firstChild())
      reference_->removeChild(child);
  current_ = reference_;
}

void TSubsetBuilder::endSubset(TDomParser*, const TLocator*)
{
  if (current_ != reference_)
    throw EParserInvalidDoctypeError("Invalid doctype declaration error.");
}

void TSubsetBuilder::comment(TDomParser*, const TLocator*, std::u16string_view text)
{
  if (current_ == nullptr)
    return;
  if (!isXmlCommentText(text))
    throw EParserInvalidCharacterError("Invalid character error.");
  append<EParserInvalidCharacterError>(current_->ownerDocument()->createComment(text), "Invalid character error.");
}

void TSubsetBuilder::processingInstruction(TDomParser*, const TLocator*, std::u16string_view target,
                                           std::u16string_view data)
{
  constexpr const char* kMessage = "Invalid processing instruction error.";
  if (current_ == nullptr)
    return;
  if (target == u"xml" || !isXmlChars(data))
    throw EParserInvalidProcessingInstructionError(kMessage);
  TDomNode* instruction;
  try {
    instruction = current_->ownerDocument()->createProcessingInstruction(target, data);
  } catch (const EDomException&) {
    throw EParserInvalidProcessingInstructionError(kMessage);
  }
  append<EParserInvalidProcessingInstructionError>(instruction, kMessage);
}

void TSubsetBuilder::elementDeclaration(TDomParser*, const TLocator*, std::u16string_view name,
                                        std::u16string_view contentSpec)
{
  constexpr const char* kMessage = "Invalid element declaration error.";
  if (current_ == nullptr)
    return;
  if (!isXmlName(name))
    throw EParserInvalidElementDeclarationError(kMessage);
  TDomDocument* document = current_->ownerDocument();
  TContentKind kind = contentKindOf(contentSpec);
  auto* declaration = document->createNode<TDomElementTypeDeclaration>(document->internName(name), kind);
  if (kind == TContentKind::Mixed || kind == TContentKind::Children)
    buildContentModel(*document, *declaration, contentSpec);
  append<EParserInvalidElementDeclarationError>(declaration, kMessage);
}

void TSubsetBuilder::startAttributeList(TDomParser*, const TLocator*, std::u16string_view elementName)
{
  constexpr const char* kMessage = "Invalid attribute declaration error.";
  if (current_ == nullptr)
    return;
  if (!isXmlName(elementName))
    throw EParserInvalidAttributeDeclarationError(kMessage);
  TDomDocument* document = current_->ownerDocument();
  auto* list = document->createNode<TDomAttrList>(document->internName(elementName));
  append<EParserInvalidAttributeDeclarationError>(list, kMessage);
  current_ = list;
}

void TSubsetBuilder::attributeDefinition(TDomParser*, const TLocator*, const TAttributeDefinitionText& definition)
{
  if (current_ == nullptr)
    return;
  if (current_->nodeType() != ATTRIBUTE_LIST_NODE)
    throw EParserInvalidAttributeDeclarationError("Invalid attribute declaration error.");
  auto* list = static_cast<TDomAttrList*>(current_);
  // The first definition of a name is binding.
  if (list->findDefinition(definition.name) != nullptr)
    return;
  TDomDocument* document = current_->ownerDocument();
  auto* node = document->createNode<TDomAttrDefinition>(
      document->internName(definition.name), document->storeText(definition.attributeType),
      document->storeText(definition.defaultKind), document->storeText(definition.defaultValue));
  for (std::u16string_view name : definition.names)
    node->appendChild(document->createNode<TDomNametoken>(document->internName(name)));
  list->addDefinition(node);
}

void TSubsetBuilder::endAttributeList(TDomParser*, const TLocator*)
{
  if (current_ == nullptr)
    return;
  if (current_->nodeType() != ATTRIBUTE_LIST_NODE)
    throw EParserInvalidAttributeDeclarationError("Invalid attribute declaration error.");
  current_ = current_->parentNode();
}

bool TSubsetBuilder::buildReplacementTree(TDomEntity& entity, std::u16string_view text)
{
  TDocReader reader;
  TDocBuilder builder;
  reader.setContentHandler(&builder);
  builder.setReferenceNode(&entity);
  TMemoryStream stream(wideTextPieces(text));
  try {
    TInputSource source(&stream, std::u16string(), std::u16string(), TDeclaredEncoding::Ignored);
    if (reader.parse(nullptr, source, TReadMode::Content))
      return true;
  } catch (const std::exception&) {
  }
  while (TDomNode* child = entity.firstChild())
    entity.removeChild(child);
  return false;
}

// [71] GEDecl: the first declaration of a name is binding; an internal
// entity gets its replacement tree once, here.
void TSubsetBuilder::entityDeclaration(TDomParser* sender, const TLocator* locator,
                                       const TEntityDeclarationText& declaration)
{
  constexpr const char* kMessage = "Invalid entity declaration error.";
  if (current_ == nullptr)
    return;
  std::u16string replacement = declaration.hasValue ? replacementText(declaration.value) : std::u16string();
  TDomDocument* document = current_->ownerDocument();
  const std::u16string* name = document->internName(declaration.name);
  TDomExternalId externalId = storeExternalId(*document, declaration.externalId);
  TCompactText notation = document->storeText(declaration.notationName);
  append<EParserInvalidEntityDeclarationError>(
      document->createNode<TDomEntityDeclaration>(name, document->storeText(declaration.value), externalId, notation),
      kMessage);
  TDomNamedNodeMap* entities = context_->doctype->entities();
  if (entities->lookup(declaration.name) != nullptr) {
    warn(sender, locator, declaration.name, EParserDoubleEntityDeclWarning("Double_Entity_Decl_Warning"));
    return;
  }
  auto* entity = document->createNode<TDomEntity>(name, externalId, notation);
  entity->setDeclaredInInternalSubset(reference_ == context_->doctype->internalSubsetNode());
  if (declaration.hasValue) {
    entity->setHasLessThan(replacement.find(u'<') != std::u16string::npos);
    if (!buildReplacementTree(*entity, replacement)) {
      entity->setUsable(false);
      entity->setHasXmlDeclaration(holdsXmlDeclaration(replacement));
      warn(sender, locator, declaration.name, EParserUnusableEntityDeclWarning("Unusable_Entity_Decl_Warning"));
    }
  }
  entities->append(entity);
}

// [72] PEDecl
void TSubsetBuilder::parameterEntityDeclaration(TDomParser* sender, const TLocator* locator,
                                                const TEntityDeclarationText& declaration)
{
  constexpr const char* kMessage = "Invalid entity declaration error.";
  if (current_ == nullptr)
    return;
  std::u16string replacement = declaration.hasValue ? replacementText(declaration.value) : std::u16string();
  TDomDocument* document = current_->ownerDocument();
  const std::u16string* name = document->internName(declaration.name);
  TDomExternalId externalId = storeExternalId(*document, declaration.externalId);
  append<EParserInvalidEntityDeclarationError>(document->createNode<TDomParameterEntityDeclaration>(
                                                   name, document->storeText(declaration.value), externalId),
                                               kMessage);
  TDomNamedNodeMap* parameterEntities = context_->doctype->parameterEntities();
  if (parameterEntities->lookup(declaration.name) != nullptr) {
    warn(sender, locator, declaration.name,
         EParserDoubleParameterEntityDeclWarning("Double_Parameter_Entity_Decl_Warning"));
    return;
  }
  parameterEntities->append(
      document->createNode<TDomParameterEntity>(name, document->storeText(replacement), externalId));
}

// [82] NotationDecl
void TSubsetBuilder::notationDeclaration(TDomParser* sender, const TLocator* locator, std::u16string_view name,
                                         const TExternalIdText& text)
{
  if (current_ == nullptr)
    return;
  TDomDocument* document = current_->ownerDocument();
  TDomExternalId externalId = storeExternalId(*document, text);
  TDomNamedNodeMap* notations = context_->doctype->notations();
  if (notations->lookup(name) != nullptr)
    warn(sender, locator, name, EParserDoubleNotationDeclWarning("Double_Notation_Decl_Warning"));
  else
    notations->append(document->createNode<TDomNotation>(document->internName(name), externalId));
  append<EParserInvalidNotationDeclarationError>(
      document->createNode<TDomNotationDeclaration>(document->internName(name), externalId),
      "Invalid notation declaration error.");
}

// [69] PEReference between declarations: the replacement text is read as
// declarations into the parameter entity's node.
void TSubsetBuilder::parameterEntityReference(TDomParser* sender, const TLocator* locator, std::u16string_view name)
{
  constexpr const char* kMessage = "Invalid entity name error.";
  if (current_ == nullptr)
    return;
  TDomDocument* document = current_->ownerDocument();
  append<EParserInvalidEntityNameError>(
      document->createNode<TDomParameterEntityReference>(document->internName(name)), kMessage);
  auto* entity = static_cast<TDomParameterEntity*>(context_->doctype->parameterEntities()->getNamedItem(name));
  if (entity == nullptr)
    throw EParserInvalidEntityNameError(kMessage);
  std::u16string text = entity->replacementText();
  if (text.empty())
    return;
  enter<EParserInvalidEntityNameError>(entity, text.size(), kMessage);
  TNestingGuard guard(*context_);
  if (!readNested(sender, entity, text, locator))
    throw EParserInvalidEntityNameError(kMessage);
}

void TIntSubsetBuilder::conditionalSection(TDomParser*, const TLocator*, std::u16string_view, std::u16string_view)
{
  if (current() != nullptr)
    throw EParserInvalidConditionalSectionError("Invalid conditional section error.");
}

void TIntSubsetBuilder::textDeclaration(TDomParser*, const TLocator*, std::u16string_view, std::u16string_view)
{
  if (current() != nullptr)
    throw EParserInvalidTextDeclarationError("Invalid text-declaration error.");
}

// [62] includeSect / [63] ignoreSect
void TExtSubsetBuilder::conditionalSection(TDomParser* sender, const TLocator* locator, std::u16string_view keyword,
                                           std::u16string_view innerText)
{
  constexpr const char* kMessage = "Invalid conditional section error.";
  if (current() == nullptr)
    return;
  bool include = keyword == u"INCLUDE";
  if (!include && keyword != u"IGNORE")
    throw EParserInvalidConditionalSectionError(kMessage);
  TDomDocument* document = current()->ownerDocument();
  auto* section = document->createNode<TDomConditionalSection>(document->internName(keyword),
                                                               document->storeText(include ? u"" : innerText));
  if (include && !innerText.empty()) {
    enter<EParserInvalidConditionalSectionError>(section, innerText.size(), kMessage);
    TNestingGuard guard(context());
    if (!readNested(sender, section, innerText, locator))
      throw EParserInvalidConditionalSectionError(kMessage);
  }
  append<EParserInvalidConditionalSectionError>(section, kMessage);
}

void TExtSubsetBuilder::textDeclaration(TDomParser*, const TLocator*, std::u16string_view version,
                                        std::u16string_view encoding)
{
  if (current() == nullptr)
    return;
  TDomDocument* document = current()->ownerDocument();
  append<EParserInvalidTextDeclarationError>(
      document->createNode<TDomTextDeclaration>(document->storeText(version), document->storeText(encoding)),
      "Invalid text-declaration error.");
}

} // namespace xml

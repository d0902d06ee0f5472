#include "xml/subset_reader.h"

#include <algorithm>
#include <array>

#include "xml/attribute_rules.h"
#include "xml/char_classes.h"
#include "xml/declaration_scanner.h"
#include "xml/dtd_handler.h"
#include "xml/input_source.h"
#include "xml/locator.h"
#include "xml/parser_error.h"
#include "xml/parser_exceptions.h"
#include "xml/reader_errors.h"
#include "xml/stream_exceptions.h"

namespace xml {

namespace {

TDtdHandler gIgnoreDeclarations;

constexpr std::array<std::u16string_view, 8> kOpeners = {u"<?",        u"<!--",      u"<![",       u"<!ENTITY",
                                                         u"<!ELEMENT", u"<!ATTLIST", u"<!NOTATION", u"<!"};

template <class Error>
[[noreturn]] void fail(const char* message)
{
  throw Error(message);
}

// Checks the frame of a declaration token: its keyword, the white space
// after it, the closing '>' and a least length.
template <class Error>
std::u16string_view declarationBody(std::u16string_view token, std::u16string_view keyword, std::size_t minimumSize,
                                    const char* message)
{
  if (token.size() < minimumSize || token.substr(0, keyword.size()) != keyword || token.back() != u'>' ||
      !isXmlWhiteSpace(token[keyword.size()]))
    fail<Error>(message);
  return token.substr(keyword.size(), token.size() - keyword.size() - 1);
}

// [10] AttValue: no '<', and every '&' starts a well-formed reference.
bool isAttributeValue(std::u16string_view value)
{
  if (!isXmlChars(value) || value.find(u'<') != std::u16string_view::npos)
    return false;
  for (std::size_t amp = value.find(u'&'); amp != std::u16string_view::npos; amp = value.find(u'&', amp + 1)) {
    std::size_t semicolon = value.find(u';', amp);
    if (semicolon == std::u16string_view::npos)
      return false;
    std::u16string_view reference = value.substr(amp, semicolon - amp + 1);
    if (reference.size() > 1 && reference[1] == u'#') {
      try {
        decodeXmlCharRef(reference);
      } catch (const EConvertError&) {
        return false;
      }
    } else if (!isXmlName(reference.substr(1, reference.size() - 2))) {
      return false;
    }
  }
  return true;
}

} // namespace

bool TSubsetReader::parse(TDomParser* sender, TInputSource& source)
{
  TTokenBuffer buffer;
  TLocator locator(source);
  sender_ = sender;
  buffer_ = &buffer;
  locator_ = &locator;
  state_ = TState::Between;
  inSingleQuotes_ = inDoubleQuotes_ = inComment_ = false;
  sectionDepth_ = 0;
  tokensRead_ = 0;
  return ReadRoutingErrors([&] { run(source); }, errorHandler_, sender, locator, buffer);
}

TDtdHandler& TSubsetReader::handler() const { return dtdHandler_ != nullptr ? *dtdHandler_ : gIgnoreDeclarations; }

void TSubsetReader::run(TInputSource& source)
{
  handler().startSubset(sender_, locator_);
  for (std::u16string_view units = source.nextUnits(); !units.empty(); units = source.nextUnits())
    for (char16_t unit : units)
      acceptUnit(unit);
  if (!buffer_->empty() && !isXmlWhiteSpaceText(buffer_->content()))
    throw EParserUnknownDeclarationTypeError("Invalid declaration error.");
  handler().endSubset(sender_, locator_);
}

bool TSubsetReader::endsWith(std::u16string_view tail) const
{
  std::u16string_view content = buffer_->content();
  return content.size() >= tail.size() && content.substr(content.size() - tail.size()) == tail;
}

void TSubsetReader::acceptUnit(char16_t unit)
{
  if (!isXmlChar(unit)) {
    buffer_->append(unit);
    throw EParserInvalidCharacterError("Invalid character error.");
  }
  locator_->advance(unit);
  if (state_ == TState::Between) {
    if (isXmlWhiteSpace(unit))
      return;
    buffer_->append(unit);
    locator_->markStart();
    if (unit == u'<')
      state_ = TState::Markup;
    else if (unit == u'%')
      state_ = TState::ParameterEntityReference;
    else
      throw EParserInvalidCharacterError("Invalid character error.");
    return;
  }
  buffer_->append(unit);
  switch (state_) {
  case TState::Markup: classifyMarkup(); break;
  case TState::ParameterEntityReference:
    if (unit == u';')
      finishToken();
    break;
  case TState::ProcessingInstruction:
    if (unit == u'>' && buffer_->size() >= 4 && (*buffer_)[buffer_->size() - 2] == u'?')
      finishToken();
    break;
  case TState::Comment:
    if (unit == u'>' && buffer_->size() >= 7 && endsWith(u"-->"))
      finishToken();
    break;
  case TState::Element:
    if (unit == u'>')
      finishToken();
    break;
  case TState::ConditionalSection: conditionalUnit(); break;
  default: quotedDeclarationUnit(unit); break;
  }
}

// Decides the kind of a markup token as soon as its opener is complete.
void TSubsetReader::classifyMarkup()
{
  std::u16string_view content = buffer_->content();
  if (content == u"<?")
    state_ = TState::ProcessingInstruction;
  else if (content == u"<!--")
    state_ = TState::Comment;
  else if (content == u"<![")
    state_ = TState::ConditionalSection, sectionDepth_ = 1, inComment_ = false;
  else if (content == u"<!ENTITY")
    state_ = TState::Entity;
  else if (content == u"<!ELEMENT")
    state_ = TState::Element;
  else if (content == u"<!ATTLIST")
    state_ = TState::AttributeList;
  else if (content == u"<!NOTATION")
    state_ = TState::Notation;
  else {
    for (std::u16string_view opener : kOpeners)
      if (opener.substr(0, content.size()) == content)
        return;
    throw EParserUnknownDeclarationTypeError("Invalid declaration error.");
  }
  inSingleQuotes_ = inDoubleQuotes_ = false;
}

// Declarations whose literals may hold '>': the token ends at a '>'
// outside quotes.
void TSubsetReader::quotedDeclarationUnit(char16_t unit)
{
  if (unit == u'\'' && !inDoubleQuotes_)
    inSingleQuotes_ = !inSingleQuotes_;
  else if (unit == u'"' && !inSingleQuotes_)
    inDoubleQuotes_ = !inDoubleQuotes_;
  else if (unit == u'>' && !inSingleQuotes_ && !inDoubleQuotes_)
    finishToken();
}

// Nested "<![" and "]]>" are counted outside comments.
void TSubsetReader::conditionalUnit()
{
  if (inComment_) {
    if (endsWith(u"-->"))
      inComment_ = false;
  } else if (endsWith(u"<!--")) {
    inComment_ = true;
  } else if (endsWith(u"<![")) {
    ++sectionDepth_;
  } else if (endsWith(u"]]>") && --sectionDepth_ == 0) {
    finishToken();
  }
}

void TSubsetReader::finishToken()
{
  std::u16string_view token = buffer_->content();
  switch (state_) {
  case TState::ParameterEntityReference: {
    std::u16string_view name = token.substr(1, token.size() - 2);
    if (!isXmlName(name))
      throw EParserInvalidEntityNameError("Invalid entity name error.");
    handler().parameterEntityReference(sender_, locator_, name);
    break;
  }
  case TState::ProcessingInstruction: processingInstructionToken(token); break;
  case TState::Comment: handler().comment(sender_, locator_, token.substr(4, token.size() - 7)); break;
  case TState::Entity: entityToken(token); break;
  case TState::Element: elementToken(token); break;
  case TState::AttributeList: attributeListToken(token); break;
  case TState::Notation: notationToken(token); break;
  case TState::ConditionalSection: conditionalSectionToken(token); break;
  default: break;
  }
  ++tokensRead_;
  buffer_->clear();
  state_ = TState::Between;
}

void TSubsetReader::processingInstructionToken(std::u16string_view token)
{
  std::u16string_view text = token.substr(2, token.size() - 4);
  if (token.size() > 5 && isXmlWhiteSpace(token[5]) && token.substr(0, 5) == u"<?xml") {
    if (kind_ == TSubsetKind::External &&
        (tokensRead_ != 0 || locator_->startLine() != 1 || locator_->startColumn() != 1))
      throw EParserInvalidTextDeclarationError("Character(s) before text-declaration error.");
    textDeclarationToken(text);
    return;
  }
  auto [target, data] = splitNameAndRest(text);
  handler().processingInstruction(sender_, locator_, target, data);
}

// [77] TextDecl ::= '<?xml' VersionInfo? EncodingDecl S? '?>'
void TSubsetReader::textDeclarationToken(std::u16string_view text)
{
  TPseudoAttributes attributes;
  try {
    parseAttributes(splitNameAndRest(text).second, attributes);
  } catch (const EParserException&) {
    throw EParserInvalidTextDeclarationError("Invalid text-declaration error.");
  }
  const auto& items = attributes.items();
  bool valid = (items.size() == 1 && items[0].first == u"encoding") ||
               (items.size() == 2 && items[0].first == u"version" && items[1].first == u"encoding" &&
                isXmlVersionNum(items[0].second));
  if (!valid || !isXmlEncName(items.back().second))
    throw EParserInvalidTextDeclarationError("Invalid text-declaration error.");
  if (std::string problem = locator_->source().declaredEncodingProblem(items.back().second); !problem.empty())
    throw EParserInvalidTextDeclarationError(problem);
  handler().textDeclaration(sender_, locator_, attributes.value(u"version"), items.back().second);
}

// [70] EntityDecl ::= GEDecl | PEDecl
void TSubsetReader::entityToken(std::u16string_view token)
{
  constexpr const char* kMessage = "Invalid entity declaration error.";
  TDeclarationScanner scanner(declarationBody<EParserInvalidEntityDeclarationError>(token, u"<!ENTITY", 14, kMessage));
  scanner.skipWhiteSpace();
  bool parameter = false;
  if (scanner.consume(u'%')) {
    if (!scanner.skipWhiteSpace())
      fail<EParserInvalidEntityDeclarationError>(kMessage);
    parameter = true;
  }
  TEntityDeclarationText declaration;
  declaration.name = scanner.readName();
  if (declaration.name.empty() || !scanner.skipWhiteSpace())
    fail<EParserInvalidEntityDeclarationError>(kMessage);
  if (scanner.readQuoted(declaration.value)) {
    declaration.hasValue = true;
  } else {
    auto result = scanner.readExternalId(TDeclarationScanner::TExternalIdForm::Full, declaration.externalId);
    if (result != TDeclarationScanner::TExternalIdResult::Read)
      fail<EParserInvalidEntityDeclarationError>(kMessage);
    // [76] NDataDecl ::= S 'NDATA' S Name, general entities only.
    if (scanner.skipWhiteSpace() && scanner.consume(u"NDATA")) {
      if (parameter || !scanner.skipWhiteSpace())
        fail<EParserInvalidEntityDeclarationError>(kMessage);
      declaration.notationName = scanner.readName();
      if (declaration.notationName.empty())
        fail<EParserInvalidEntityDeclarationError>(kMessage);
    }
  }
  scanner.skipWhiteSpace();
  if (!scanner.atEnd())
    fail<EParserInvalidEntityDeclarationError>(kMessage);
  if (parameter)
    handler().parameterEntityDeclaration(sender_, locator_, declaration);
  else
    handler().entityDeclaration(sender_, locator_, declaration);
}

// [45] elementdecl ::= '<!ELEMENT' S Name S contentspec S? '>'
void TSubsetReader::elementToken(std::u16string_view token)
{
  constexpr const char* kMessage = "Invalid element declaration error.";
  TDeclarationScanner scanner(declarationBody<EParserInvalidElementDeclarationError>(token, u"<!ELEMENT", 16, kMessage));
  scanner.skipWhiteSpace();
  std::u16string_view name = scanner.readName();
  if (name.empty() || !scanner.skipWhiteSpace())
    fail<EParserInvalidElementDeclarationError>(kMessage);
  std::u16string_view contentSpec = trimWhiteSpace(scanner.rest());
  if (contentSpec.empty())
    fail<EParserInvalidElementDeclarationError>(kMessage);
  handler().elementDeclaration(sender_, locator_, name, contentSpec);
}

// [52] AttlistDecl ::= '<!ATTLIST' S Name AttDef* S? '>'
// [53] AttDef ::= S Name S AttType S DefaultDecl
void TSubsetReader::attributeListToken(std::u16string_view token)
{
  constexpr const char* kMessage = "Invalid attribute declaration error.";
  auto invalid = [&] { fail<EParserInvalidAttributeDeclarationError>(kMessage); };
  TDeclarationScanner scanner(declarationBody<EParserInvalidAttributeDeclarationError>(token, u"<!ATTLIST", 12, kMessage));
  scanner.skipWhiteSpace();
  std::u16string_view element = scanner.readName();
  if (element.empty())
    invalid();
  handler().startAttributeList(sender_, locator_, element);
  for (;;) {
    bool separated = scanner.skipWhiteSpace();
    if (scanner.atEnd())
      break;
    TAttributeDefinitionText definition;
    definition.name = scanner.readName();
    if (!separated || definition.name.empty() || !scanner.skipWhiteSpace())
      invalid();
    // [57] EnumeratedType ::= NotationType | Enumeration
    auto readGroup = [&](bool names) {
      if (!scanner.consume(u'('))
        invalid();
      do {
        scanner.skipWhiteSpace();
        std::u16string_view item = names ? scanner.readName() : scanner.readNmtoken();
        if (item.empty())
          invalid();
        definition.names.push_back(item);
        scanner.skipWhiteSpace();
      } while (scanner.consume(u'|'));
      if (!scanner.consume(u')'))
        invalid();
    };
    if (scanner.peek() == u'(') {
      readGroup(false);
    } else if (scanner.consume(u"NOTATION")) {
      definition.attributeType = u"NOTATION";
      if (!scanner.skipWhiteSpace())
        invalid();
      readGroup(true);
    } else {
      definition.attributeType = scanner.readName();
      static constexpr std::u16string_view kTypes[] = {u"CDATA",  u"ID",       u"IDREF",   u"IDREFS",
                                                        u"ENTITY", u"ENTITIES", u"NMTOKEN", u"NMTOKENS"};
      if (std::find(std::begin(kTypes), std::end(kTypes), definition.attributeType) == std::end(kTypes))
        invalid();
    }
    if (!scanner.skipWhiteSpace())
      invalid();
    // [60] DefaultDecl ::= '#REQUIRED' | '#IMPLIED' | (('#FIXED' S)? AttValue)
    if (scanner.consume(u"#REQUIRED")) {
      definition.defaultKind = u"#REQUIRED";
    } else if (scanner.consume(u"#IMPLIED")) {
      definition.defaultKind = u"#IMPLIED";
    } else {
      if (scanner.consume(u"#FIXED")) {
        definition.defaultKind = u"#FIXED";
        if (!scanner.skipWhiteSpace())
          invalid();
      }
      if (!scanner.readQuoted(definition.defaultValue) || !isAttributeValue(definition.defaultValue))
        invalid();
    }
    handler().attributeDefinition(sender_, locator_, definition);
  }
  handler().endAttributeList(sender_, locator_);
}

// [82] NotationDecl ::= '<!NOTATION' S Name S (ExternalID | PublicID) S? '>'
void TSubsetReader::notationToken(std::u16string_view token)
{
  constexpr const char* kMessage = "Invalid notation declaration error.";
  TDeclarationScanner scanner(
      declarationBody<EParserInvalidNotationDeclarationError>(token, u"<!NOTATION", 22, kMessage));
  scanner.skipWhiteSpace();
  std::u16string_view name = scanner.readName();
  if (name.empty() || !scanner.skipWhiteSpace())
    fail<EParserInvalidNotationDeclarationError>(kMessage);
  TExternalIdText externalId;
  if (scanner.readExternalId(TDeclarationScanner::TExternalIdForm::PublicIdAllowed, externalId) !=
      TDeclarationScanner::TExternalIdResult::Read)
    fail<EParserInvalidNotationDeclarationError>(kMessage);
  scanner.skipWhiteSpace();
  if (!scanner.atEnd())
    fail<EParserInvalidNotationDeclarationError>(kMessage);
  handler().notationDeclaration(sender_, locator_, name, externalId);
}

// [61] conditionalSect ::= includeSect | ignoreSect
void TSubsetReader::conditionalSectionToken(std::u16string_view token)
{
  constexpr const char* kMessage = "Invalid conditional section error.";
  std::size_t open = token.find(u'[', 3);
  if (open == std::u16string_view::npos || token.size() < open + 4 || token.substr(token.size() - 3) != u"]]>")
    fail<EParserInvalidConditionalSectionError>(kMessage);
  std::u16string_view keyword = trimWhiteSpace(token.substr(3, open - 3));
  bool parameterReference = keyword.size() > 2 && keyword.front() == u'%' && keyword.back() == u';' &&
                            isXmlName(keyword.substr(1, keyword.size() - 2));
  if (keyword != u"INCLUDE" && keyword != u"IGNORE" && !parameterReference)
    fail<EParserInvalidConditionalSectionError>(kMessage);
  std::u16string_view inner = trimWhiteSpace(token.substr(open + 1, token.size() - open - 4));
  handler().conditionalSection(sender_, locator_, keyword, inner);
}

} // namespace xml

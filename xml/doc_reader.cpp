#include "xml/doc_reader.h"

#include "xml/attribute_rules.h"
#include "xml/char_classes.h"
#include "xml/content_handler.h"
#include "xml/declaration_scanner.h"
#include "xml/dom_parser.h"
#include "xml/input_source.h"
#include "xml/locator.h"
#include "xml/parser_error.h"
#include "xml/parser_exceptions.h"
#include "xml/reader_errors.h"
#include "xml/stream_exceptions.h"

namespace xml {

namespace {

TContentHandler gIgnoreAll;

// Units that never end or change a token: Chars other than the markup
// delimiters the states look for.
inline bool isPlainUnit(char16_t c)
{
  return (c >= 0x20 && c < 0xD800 && c != u'<' && c != u'&' && c != u'>' && c != u';' && c != u'"' &&
          c != u'\'') ||
         c == u'\n' || c == u'\t';
}

inline bool isPlainTextUnit(char16_t c)
{
  return (c >= 0x20 && c < 0xD800 && c != u'<' && c != u'&') || c == u'\n' || c == u'\t' ||
         (c >= 0xD800 && c <= 0xFFFD);
}

[[noreturn]] void invalidDoctype() { throw EParserInvalidDoctypeError("Invalid doctype declaration error."); }

} // namespace

bool TDocReader::parse(TDomParser* sender, TInputSource& source, TReadMode mode)
{
  TTokenBuffer buffer;
  TLocator locator(source);
  sender_ = sender;
  buffer_ = &buffer;
  locator_ = &locator;
  state_ = TState::Neutral;
  inSingleQuotes_ = inDoubleQuotes_ = inInternalSubset_ = false;
  awaitedTerminator_.clear();
  partialOpener_.clear();
  return ReadRoutingErrors([&] { run(source, mode); }, errorHandler_, sender, locator, buffer);
}

TContentHandler& TDocReader::handler() const { return contentHandler_ != nullptr ? *contentHandler_ : gIgnoreAll; }

void TDocReader::run(TInputSource& source, TReadMode mode)
{
  handler().startDocument(sender_, source.formatName());
  for (std::u16string_view units = source.nextUnits(); !units.empty(); units = source.nextUnits())
    consume(units);
  finishInput(mode);
  handler().endDocument(sender_);
}

void TDocReader::consume(std::u16string_view units)
{
  const char16_t* p = units.data();
  const char16_t* end = p + units.size();
  while (p < end) {
    switch (state_) {
    case TState::Text: p = consumeText(p, end); break;
    case TState::Comment:
    case TState::CData:
    case TState::ProcessingInstruction: p = consumeUntil(p, end, u'>'); break;
    case TState::Reference: p = consumeUntil(p, end, u';'); break;
    case TState::Markup:
      // Past the openers ("<?", "<!--", "<![CDATA[", "<!DOCTYPE") only
      // quotes and '>' matter.
      if (buffer_->size() >= 9 || (buffer_->size() >= 2 && (*buffer_)[1] != u'!' && (*buffer_)[1] != u'?'))
        p = consumeUntil(p, end, u'>');
      else
        acceptUnit(*p++);
      break;
    default: acceptUnit(*p++); break;
    }
  }
}

// Takes the run of units that cannot change the state in one step, then the
// unit after it.
const char16_t* TDocReader::consumeText(const char16_t* p, const char16_t* end)
{
  const char16_t* q = p;
  while (q < end && isPlainTextUnit(*q))
    ++q;
  return takeRun(p, q, end);
}

// Takes the plain units [p, q) in one step, then the unit at q.
const char16_t* TDocReader::takeRun(const char16_t* p, const char16_t* q, const char16_t* end)
{
  if (q > p) {
    std::u16string_view run(p, q - p);
    locator_->advance(run);
    buffer_->append(run);
  }
  if (q < end)
    acceptUnit(*q++);
  return q;
}

const char16_t* TDocReader::consumeUntil(const char16_t* p, const char16_t* end, char16_t stop)
{
  const char16_t* q = p;
  while (q < end && *q != stop && isPlainUnit(*q))
    ++q;
  return takeRun(p, q, end);
}

void TDocReader::acceptUnit(char16_t unit)
{
  if (!isXmlChar(unit)) {
    buffer_->append(unit);
    throw EParserInvalidCharacterError("Invalid character error.");
  }
  locator_->advance(unit);
  switch (state_) {
  case TState::Neutral: startToken(unit); break;
  case TState::Text:
    if (unit == u'<' || unit == u'&') {
      handler().characters(sender_, locator_, buffer_->content());
      buffer_->clear();
      locator_->markStart();
      state_ = unit == u'<' ? TState::Markup : TState::Reference;
    }
    buffer_->append(unit);
    break;
  case TState::Markup: markupUnit(unit); break;
  case TState::Reference:
    buffer_->append(unit);
    if (unit == u';')
      finishToken();
    break;
  case TState::ProcessingInstruction:
  case TState::Comment:
  case TState::CData:
    buffer_->append(unit);
    if (unit == u'>')
      closingUnit();
    break;
  case TState::Doctype: doctypeUnit(unit); break;
  }
}

void TDocReader::startToken(char16_t unit)
{
  state_ = unit == u'<' ? TState::Markup : unit == u'&' ? TState::Reference : TState::Text;
  buffer_->append(unit);
  locator_->markStart();
}

bool TDocReader::endsWith(std::u16string_view tail) const
{
  std::u16string_view content = buffer_->content();
  return content.size() >= tail.size() && content.substr(content.size() - tail.size()) == tail;
}

void TDocReader::markupUnit(char16_t unit)
{
  buffer_->append(unit);
  std::u16string_view content = buffer_->content();
  if (content.size() == 2 && content == u"<?") {
    state_ = TState::ProcessingInstruction;
  } else if (content.size() == 4 && content == u"<!--") {
    state_ = TState::Comment;
  } else if (content.size() == 9 && content == u"<![CDATA[") {
    state_ = TState::CData;
  } else if (content.size() == 9 && content == u"<!DOCTYPE") {
    state_ = TState::Doctype;
    inSingleQuotes_ = inDoubleQuotes_ = inInternalSubset_ = false;
    awaitedTerminator_.clear();
    partialOpener_.clear();
  } else if (unit == u'\'' && !inDoubleQuotes_) {
    inSingleQuotes_ = !inSingleQuotes_;
  } else if (unit == u'"' && !inSingleQuotes_) {
    inDoubleQuotes_ = !inDoubleQuotes_;
  } else if (unit == u'>' && !inSingleQuotes_ && !inDoubleQuotes_) {
    finishToken();
  }
}

// A '>' in a processing instruction, comment or CDATA section: the token
// ends when the units before it complete the terminator.
void TDocReader::closingUnit()
{
  std::size_t size = buffer_->size();
  bool complete = (state_ == TState::ProcessingInstruction && size >= 4 && (*buffer_)[size - 2] == u'?') ||
                  (state_ == TState::Comment && size >= 7 && endsWith(u"-->")) ||
                  (state_ == TState::CData && endsWith(u"]]>"));
  if (complete)
    finishToken();
}

void TDocReader::doctypeUnit(char16_t unit)
{
  buffer_->append(unit);
  if (!awaitedTerminator_.empty()) {
    if (endsWith(awaitedTerminator_))
      awaitedTerminator_.clear();
    return;
  }
  if (unit == u'\'' && !inDoubleQuotes_) {
    inSingleQuotes_ = !inSingleQuotes_;
    return;
  }
  if (unit == u'"' && !inSingleQuotes_) {
    inDoubleQuotes_ = !inDoubleQuotes_;
    return;
  }
  if (inSingleQuotes_ || inDoubleQuotes_)
    return;
  if (!inInternalSubset_) {
    if (unit == u'[')
      inInternalSubset_ = true;
    else if (unit == u'>')
      finishToken();
    return;
  }
  if (unit == u'<') {
    partialOpener_ = u"<";
  } else if (unit == u'!' && partialOpener_ == u"<") {
    partialOpener_ = u"<!";
  } else if (unit == u'?' && partialOpener_ == u"<") {
    awaitedTerminator_ = u"?>";
    partialOpener_.clear();
  } else if (unit == u'-' && partialOpener_ == u"<!") {
    partialOpener_ = u"<!-";
  } else if (unit == u'-' && partialOpener_ == u"<!-") {
    awaitedTerminator_ = u"-->";
    partialOpener_.clear();
  } else {
    if (unit == u']')
      inInternalSubset_ = false;
    partialOpener_.clear();
  }
}

// Hands the complete token in the buffer to its token method.
void TDocReader::finishToken()
{
  std::u16string_view token = buffer_->content();
  const std::size_t size = token.size();
  switch (state_) {
  case TState::Markup:
    if (token[1] == u'/')
      endTagToken(token.substr(2, size - 3));
    else if (size >= 3 && token[size - 2] == u'/')
      emptyElementTagToken(token.substr(1, size - 3));
    else
      startTagToken(token.substr(1, size - 2));
    break;
  case TState::ProcessingInstruction:
    if (size > 5 && isXmlWhiteSpace(token[5]) && token.substr(0, 5) == u"<?xml") {
      if (locator_->startLine() != 1 || locator_->startColumn() != 1)
        throw EParserInvalidXmlDeclarationError("Character(s) before xml-declaration error.");
      xmlDeclarationToken(token.substr(2, size - 4));
    } else {
      processingInstructionToken(token.substr(2, size - 4));
    }
    break;
  case TState::Comment: handler().comment(sender_, locator_, token.substr(4, size - 7)); break;
  case TState::CData: handler().cdataSection(sender_, locator_, token.substr(9, size - 12)); break;
  case TState::Reference:
    if (size > 1 && token[1] == u'#')
      handler().charRef(sender_, locator_, token);
    else
      handler().entityRef(sender_, locator_, token.substr(1, size - 2));
    break;
  case TState::Doctype: doctypeToken(token); break;
  default: break;
  }
  buffer_->clear();
  state_ = TState::Neutral;
  inSingleQuotes_ = inDoubleQuotes_ = false;
}

void TDocReader::finishInput(TReadMode mode)
{
  if (buffer_->empty())
    return;
  if (mode == TReadMode::Content && state_ == TState::Text) {
    handler().characters(sender_, locator_, buffer_->content());
    buffer_->clear();
    return;
  }
  if (!isXmlWhiteSpaceText(buffer_->content()))
    throw EParserNotInRootError("Not in root error.");
  buffer_->clear();
}

// [23] XMLDecl ::= '<?xml' VersionInfo EncodingDecl? SDDecl? S? '?>'
void TDocReader::xmlDeclarationToken(std::u16string_view text)
{
  auto [name, rest] = splitNameAndRest(text);
  if (name != u"xml")
    throw EParserInvalidXmlDeclarationError("Invalid xml-declaration error.");
  TPseudoAttributes attributes;
  parseAttributes(rest, attributes);
  const int count = static_cast<int>(attributes.items().size());
  const int version = attributes.indexOf(u"version");
  const int encoding = attributes.indexOf(u"encoding");
  const int standalone = attributes.indexOf(u"standalone");
  // [80] EncodingDecl and [32] SDDecl, when present, have a value.
  bool valid = version == 0 && encoding <= 1 && count <= 3 &&
               (count != 2 || encoding >= 0 || standalone >= 0) &&
               (count != 3 || (encoding >= 0 && standalone >= 0)) &&
               (encoding < 0 || !attributes.items()[encoding].second.empty()) &&
               (standalone < 0 || !attributes.items()[standalone].second.empty());
  if (!valid)
    throw EParserInvalidXmlDeclarationError("Invalid xml-declaration error.");
  std::u16string encodingName = attributes.value(u"encoding");
  if (!encodingName.empty()) {
    std::string problem = locator_->source().declaredEncodingProblem(encodingName);
    if (!problem.empty())
      throw EParserInvalidXmlDeclarationError(problem);
  }
  handler().xmlDeclaration(sender_, locator_, attributes.value(u"version"), encodingName,
                           attributes.value(u"standalone"));
}

// [16] PI ::= '<?' PITarget (S (Char* - (Char* '?>' Char*)))? '?>'
void TDocReader::processingInstructionToken(std::u16string_view text)
{
  auto [target, data] = splitNameAndRest(text);
  handler().processingInstruction(sender_, locator_, target, data);
}

// [40] STag ::= '<' Name (S Attribute)* S? '>'
void TDocReader::startTagToken(std::u16string_view text)
{
  auto [name, attributes] = splitNameAndRest(text);
  handler().startElement(sender_, locator_, name, attributes);
}

// [42] ETag ::= '</' Name S? '>'
void TDocReader::endTagToken(std::u16string_view text)
{
  auto [name, rest] = splitNameAndRest(text);
  if (!rest.empty())
    throw EParserInvalidEndTagError("Invalid end tag error.");
  handler().endElement(sender_, locator_, name);
}

// [44] EmptyElemTag ::= '<' Name (S Attribute)* S? '/>'
void TDocReader::emptyElementTagToken(std::u16string_view text)
{
  auto [name, attributes] = splitNameAndRest(text);
  handler().startElement(sender_, locator_, name, attributes);
  handler().endElement(sender_, locator_, name);
}

// [28] doctypedecl ::= '<!DOCTYPE' S Name (S ExternalID)? S? ('[' intSubset ']' S?)? '>'
void TDocReader::doctypeToken(std::u16string_view token)
{
  if (token.size() < 11 || token.substr(0, 9) != u"<!DOCTYPE" || token.back() != u'>' || !isXmlWhiteSpace(token[9]))
    invalidDoctype();
  std::u16string_view inner = trimWhiteSpace(token.substr(10, token.size() - 11));
  std::u16string_view head = inner;
  std::u16string_view internalSubset;
  char16_t quote = 0;
  for (std::size_t i = 0; i < inner.size(); ++i) {
    char16_t c = inner[i];
    if (quote != 0) {
      if (c == quote)
        quote = 0;
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'[') {
      head = inner.substr(0, i);
      std::u16string_view subset = trimWhiteSpace(inner.substr(i));
      if (subset.size() < 2 || subset.back() != u']')
        invalidDoctype();
      internalSubset = subset.substr(1, subset.size() - 2);
      break;
    }
  }
  TDeclarationScanner scanner(trimWhiteSpace(head));
  std::u16string_view name = scanner.readName();
  if (name.empty() || !(scanner.atEnd() || isXmlWhiteSpace(scanner.peek())))
    invalidDoctype();
  TExternalIdText externalId;
  if (scanner.skipWhiteSpace()) {
    auto result = scanner.readExternalId(TDeclarationScanner::TExternalIdForm::Full, externalId);
    if (result != TDeclarationScanner::TExternalIdResult::Read)
      invalidDoctype();
    scanner.skipWhiteSpace();
  }
  if (!scanner.atEnd())
    invalidDoctype();
  handler().doctypeDecl(sender_, locator_, name, externalId.publicId, externalId.systemId, internalSubset);
  if (sender_ != nullptr &&
      (!internalSubset.empty() || !externalId.publicId.empty() || !externalId.systemId.empty())) {
    TTextPosition subsetStart =
        positionAfter(locator_->start(), token.substr(0, internalSubset.data() - token.data()));
    sender_->parseDocumentTypeSubsets(internalSubset, externalId.publicId, externalId.systemId, locator_,
                                      subsetStart);
  }
}

} // namespace xml

#include "xml/declaration_scanner.h"

#include "xml/char_classes.h"

namespace xml {

std::pair<std::u16string_view, std::u16string_view> splitNameAndRest(std::u16string_view text)
{
  std::size_t end = 0;
  while (end < text.size() && !isXmlWhiteSpace(text[end]))
    ++end;
  std::u16string_view name = text.substr(0, end);
  std::size_t restStart = end;
  while (restStart < text.size() && isXmlWhiteSpace(text[restStart]))
    ++restStart;
  std::u16string_view rest = text.substr(restStart);
  while (!rest.empty() && isXmlWhiteSpace(rest.back()))
    rest.remove_suffix(1);
  return {name, rest};
}

std::u16string_view trimWhiteSpace(std::u16string_view text)
{
  while (!text.empty() && isXmlWhiteSpace(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isXmlWhiteSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

bool TDeclarationScanner::skipWhiteSpace()
{
  std::size_t start = pos_;
  while (pos_ < text_.size() && isXmlWhiteSpace(text_[pos_]))
    ++pos_;
  return pos_ > start;
}

bool TDeclarationScanner::consume(std::u16string_view literal)
{
  if (text_.substr(pos_, literal.size()) != literal)
    return false;
  pos_ += literal.size();
  return true;
}

bool TDeclarationScanner::consume(char16_t unit)
{
  if (atEnd() || text_[pos_] != unit)
    return false;
  ++pos_;
  return true;
}

std::u16string_view TDeclarationScanner::readName()
{
  if (atEnd() || !isXmlNameStartChar(text_[pos_]))
    return {};
  return readNmtoken();
}

std::u16string_view TDeclarationScanner::readNmtoken()
{
  std::size_t start = pos_;
  while (pos_ < text_.size() && isXmlNameChar(text_[pos_]))
    ++pos_;
  return text_.substr(start, pos_ - start);
}

bool TDeclarationScanner::readQuoted(std::u16string_view& inner)
{
  char16_t quote = peek();
  if (quote != u'"' && quote != u'\'')
    return false;
  std::size_t close = text_.find(quote, pos_ + 1);
  if (close == std::u16string_view::npos)
    return false;
  inner = text_.substr(pos_ + 1, close - pos_ - 1);
  pos_ = close + 1;
  return true;
}

TDeclarationScanner::TExternalIdResult TDeclarationScanner::readExternalId(TExternalIdForm form,
                                                                           TExternalIdText& externalId)
{
  std::u16string_view literal;
  if (consume(u"SYSTEM")) {
    if (!skipWhiteSpace() || !readQuoted(literal))
      return TExternalIdResult::Invalid;
    externalId.systemId = literal;
    externalId.hasSystemId = true;
    return TExternalIdResult::Read;
  }
  if (!consume(u"PUBLIC"))
    return TExternalIdResult::Absent;
  if (!skipWhiteSpace() || !readQuoted(literal) || !isXmlPubidChars(literal))
    return TExternalIdResult::Invalid;
  externalId.publicId = literal;
  externalId.hasPublicId = true;
  std::size_t afterPublic = pos_;
  bool separated = skipWhiteSpace();
  if (separated && readQuoted(literal)) {
    externalId.systemId = literal;
    externalId.hasSystemId = true;
    return TExternalIdResult::Read;
  }
  pos_ = afterPublic;
  return form == TExternalIdForm::PublicIdAllowed ? TExternalIdResult::Read : TExternalIdResult::Invalid;
}

} // namespace xml

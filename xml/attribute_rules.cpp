#include "xml/attribute_rules.h"

#include <algorithm>

#include "xml/char_classes.h"
#include "xml/parser_exceptions.h"
#include "xml/stream_exceptions.h"

namespace xml {

namespace {

std::size_t skipWhiteSpace(std::u16string_view text, std::size_t i)
{
  while (i < text.size() && isXmlWhiteSpace(text[i]))
    ++i;
  return i;
}

bool isQuote(char16_t c) { return c == u'"' || c == u'\''; }

// Rule 5: a value holding references, split into its parts.
// Text runs and character references between two entity references reach the
// sink as one text: appending to a stored text piece by piece would keep
// every intermediate copy until the document goes.
void addValueWithReferences(std::u16string_view name, std::u16string_view value, TAttributeSink& sink)
{
  sink.beginAttribute(name);
  std::u16string text;
  const auto passText = [&] {
    if (!text.empty())
      sink.appendText(text);
    text.clear();
  };
  std::size_t pos = 0;
  while (pos < value.size()) {
    std::size_t amp = value.find(u'&', pos);
    std::u16string_view run = value.substr(pos, amp == std::u16string_view::npos ? std::u16string_view::npos : amp - pos);
    if (!run.empty()) {
      if (!isXmlCharData(run))
        throw EParserInvalidAttributeValueError("Invalid attribute value error.");
      text += run;
    }
    if (amp == std::u16string_view::npos)
      break;
    std::size_t semicolon = value.find(u';', amp);
    if (semicolon == std::u16string_view::npos)
      throw EParserInvalidAttributeValueError("Invalid attribute value error.");
    std::u16string_view reference = value.substr(amp, semicolon - amp + 1);
    if (reference.size() > 1 && reference[1] == u'#') {
      try {
        text += decodeXmlCharRef(reference);
      } catch (const EConvertError&) {
        throw EParserInvalidCharRefError("Invalid character reference error.");
      }
    } else {
      std::u16string_view entity = reference.substr(1, reference.size() - 2);
      if (!isXmlName(entity))
        throw EParserInvalidAttributeValueError("Invalid attribute value error.");
      passText();
      sink.appendEntityReference(entity);
    }
    pos = semicolon + 1;
  }
  passText();
}

} // namespace

void parseAttributes(std::u16string_view text, TAttributeSink& sink)
{
  std::size_t i = 0;
  bool first = true;
  for (;;) {
    std::size_t gapStart = i;
    i = skipWhiteSpace(text, i);
    if (i == text.size())
      return;
    if (!first && i == gapStart)
      throw EParserMissingWhiteSpaceError("Missing white-space error.");
    first = false;

    std::size_t nameStart = i;
    while (i < text.size() && !isXmlWhiteSpace(text[i]) && text[i] != u'=' && !isQuote(text[i]))
      ++i;
    std::u16string_view name = text.substr(nameStart, i - nameStart);
    i = skipWhiteSpace(text, i);
    if (i == text.size() || text[i] != u'=')
      throw EParserMissingEqualitySignError("Missing equality sign error.");
    i = skipWhiteSpace(text, i + 1);
    if (i < text.size() && text[i] == u'=')
      throw EParserDoubleEqualitySignError("Double equality sign error.");
    if (i == text.size() || !isQuote(text[i]))
      throw EParserMissingQuotationMarkError("Missing quotation mark error.");
    char16_t quote = text[i];
    std::size_t close = text.find(quote, i + 1);
    if (close == std::u16string_view::npos)
      throw EParserMissingQuotationMarkError("Missing quotation mark error.");
    std::u16string_view value = text.substr(i + 1, close - i - 1);
    i = close + 1;

    if (!isXmlName(name))
      throw EParserInvalidAttributeNameError("Invalid attribute name error.");
    if (sink.hasAttribute(name))
      throw EParserDoubleAttributeNameError("Double attribute name error.");
    if (value.find(u'&') == std::u16string_view::npos) {
      if (!isXmlCharData(value))
        throw EParserInvalidAttributeValueError("Invalid attribute value error.");
      sink.addAttribute(name, value);
    } else {
      addValueWithReferences(name, value, sink);
    }
  }
}

bool TPseudoAttributes::hasAttribute(std::u16string_view name) const { return indexOf(name) >= 0; }

void TPseudoAttributes::addAttribute(std::u16string_view name, std::u16string_view value)
{
  items_.emplace_back(name, value);
}

void TPseudoAttributes::beginAttribute(std::u16string_view name) { items_.emplace_back(name, std::u16string()); }

void TPseudoAttributes::appendText(std::u16string_view text) { items_.back().second += text; }

void TPseudoAttributes::appendEntityReference(std::u16string_view name)
{
  std::u16string& value = items_.back().second;
  value += u'&';
  value += name;
  value += u';';
}

int TPseudoAttributes::indexOf(std::u16string_view name) const
{
  auto it = std::find_if(items_.begin(), items_.end(), [&](const auto& item) { return item.first == name; });
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

std::u16string TPseudoAttributes::value(std::u16string_view name) const
{
  int index = indexOf(name);
  return index < 0 ? std::u16string() : items_[index].second;
}

} // namespace xml

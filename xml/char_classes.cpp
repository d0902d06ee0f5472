#include "xml/char_classes.h"

#include <algorithm>
#include <array>
#include <memory>

#include "xml/char_tables.h"
#include "xml/stream_exceptions.h"
#include "xml/text_conversion.h"

namespace xml {

namespace {

bool inRanges(char16_t c, const TCharRange* ranges, std::size_t count)
{
  const TCharRange* end = ranges + count;
  const TCharRange* it =
      std::upper_bound(ranges, end, c, [](char16_t value, const TCharRange& r) { return value < r.first; });
  return it != ranges && c <= (it - 1)->last;
}

// One flag byte per BMP unit, built once at start-up from the range tables.
std::unique_ptr<std::uint8_t[]> buildCharFlags()
{
  using namespace detail;
  auto flags = std::make_unique<std::uint8_t[]>(0x10000);
  for (std::uint32_t u = 0; u < 0x10000; ++u) {
    char16_t c = static_cast<char16_t>(u);
    std::uint8_t f = 0;
    if (c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c <= 0xFFFD))
      f |= kFlagChar;
    bool letter = isXmlBaseChar(c) || isXmlIdeographic(c);
    if (letter)
      f |= kFlagLetter;
    if (letter || c == u'_' || c == u':')
      f |= kFlagNameStart;
    if (letter || isXmlDigit(c) || c == u'.' || c == u'-' || c == u'_' || c == u':' || isXmlCombiningChar(c) ||
        isXmlExtender(c))
      f |= kFlagNameChar;
    // [13] PubidChar ::= #x20 | #xD | #xA | [a-zA-Z0-9] | [-'()+,./:=?;!*#@$_%]
    if (c == 0x20 || c == 0x0D || c == 0x0A || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
        (c >= u'0' && c <= u'9') || std::u16string_view(u"-'()+,./:=?;!*#@$_%").find(c) != std::u16string_view::npos)
      f |= kFlagPubidChar;
    if (!(f & kFlagChar) || (c >= 0xD800 && c <= 0xDFFF) || c == u'<' || c == u'&' || c == u'>')
      f |= kFlagDataAttention;
    flags[u] = f;
  }
  return flags;
}

const std::unique_ptr<std::uint8_t[]> gCharFlags = buildCharFlags();

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

bool allOf(std::u16string_view s, bool (*pred)(char16_t))
{
  return std::all_of(s.begin(), s.end(), pred);
}

// Every unit a Char and surrogates paired; with RejectMarkup also no '<'
// or '&', with RejectCDataEnd no "]]>". The common units take one compare.
template <bool RejectMarkup, bool RejectCDataEnd>
bool isCharSequence(std::u16string_view s)
{
  // Most text holds none of the units that need a closer look; finding that
  // out takes one table lookup per unit and no branch.
  std::uint8_t attention = 0;
  for (char16_t c : s)
    attention |= detail::kCharFlags[c];
  if ((attention & detail::kFlagDataAttention) == 0)
    return true;
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n; ++i) {
    char16_t c = s[i];
    if (c < 0xD800) {
      if (c >= 0x20) {
        if (c > u'>')
          continue;
        if (RejectMarkup && (c == u'<' || c == u'&'))
          return false;
        if (RejectCDataEnd && c == u'>' && i >= 2 && s[i - 1] == u']' && s[i - 2] == u']')
          return false;
        continue;
      }
      if (c == 0x0A || c == 0x09 || c == 0x0D)
        continue;
      return false;
    }
    if (!isXmlChar(c))
      return false;
    if (isHighSurrogate(c)) {
      if (i + 1 >= n || !isLowSurrogate(s[i + 1]))
        return false;
      ++i;
    } else if (isLowSurrogate(c)) {
      return false;
    }
  }
  return true;
}

bool isQuotedLiteral(std::u16string_view s, bool (*content)(std::u16string_view))
{
  if (s.size() < 2 || (s.front() != u'"' && s.front() != u'\'') || s.back() != s.front())
    return false;
  std::u16string_view inner = s.substr(1, s.size() - 2);
  return inner.find(s.front()) == std::u16string_view::npos && content(inner);
}

} // namespace

namespace detail {
const std::uint8_t* const kCharFlags = gCharFlags.get();
}

bool isXmlBaseChar(char16_t c) { return inRanges(c, kBaseCharRanges, kBaseCharRangesCount); }
bool isXmlIdeographic(char16_t c) { return inRanges(c, kIdeographicRanges, kIdeographicRangesCount); }
bool isXmlCombiningChar(char16_t c) { return inRanges(c, kCombiningCharRanges, kCombiningCharRangesCount); }
bool isXmlDigit(char16_t c) { return inRanges(c, kDigitRanges, kDigitRangesCount); }
bool isXmlExtender(char16_t c) { return inRanges(c, kExtenderRanges, kExtenderRangesCount); }

bool isXmlName(std::u16string_view s)
{
  return !s.empty() && isXmlNameStartChar(s[0]) && allOf(s.substr(1), isXmlNameChar);
}

bool isXmlNmtoken(std::u16string_view s) { return !s.empty() && allOf(s, isXmlNameChar); }

bool isXmlNCName(std::u16string_view s) { return isXmlName(s) && s.find(u':') == std::u16string_view::npos; }

bool isXmlQName(std::u16string_view s)
{
  std::size_t colon = s.find(u':');
  if (colon == std::u16string_view::npos)
    return isXmlNCName(s);
  return isXmlNCName(s.substr(0, colon)) && isXmlNCName(s.substr(colon + 1));
}

bool isXmlVersionNum(std::u16string_view s)
{
  return !s.empty() && allOf(s, [](char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'_' ||
           c == u'.' || c == u':' || c == u'-';
  });
}

bool isXmlEncName(std::u16string_view s)
{
  auto isAsciiLetter = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
  return !s.empty() && isAsciiLetter(s[0]) && allOf(s.substr(1), [](char16_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' ||
           c == u'_' || c == u'-';
  });
}

bool isXmlPubidChars(std::u16string_view s) { return allOf(s, isXmlPubidChar); }

bool isXmlSystemLiteral(std::u16string_view s)
{
  return isQuotedLiteral(s, [](std::u16string_view inner) { return isCharSequence<false, false>(inner); });
}

bool isXmlPubidLiteral(std::u16string_view s) { return isQuotedLiteral(s, isXmlPubidChars); }

bool isXmlWhiteSpaceText(std::u16string_view s) { return !s.empty() && allOf(s, isXmlWhiteSpace); }

bool isXmlCharData(std::u16string_view s) { return isCharSequence<true, true>(s); }

bool isXmlCDataContent(std::u16string_view s) { return isCharSequence<false, true>(s); }

bool isXmlChars(std::u16string_view s) { return isCharSequence<false, false>(s); }

bool isXmlCommentText(std::u16string_view s)
{
  return s.find(u"--") == std::u16string_view::npos && (s.empty() || s.back() != u'-') && isXmlChars(s);
}

void appendCodePoint(std::u16string& out, char32_t cp)
{
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
  } else {
    out += static_cast<char16_t>((cp >> 10) + 0xD7C0);
    out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
  }
}

std::u16string decodeXmlCharRef(std::u16string_view token)
{
  auto fail = [&]() -> std::u16string {
    throw EConvertError(toUtf8(token) + " is not a valid XmlCharRef value.");
  };
  if (token.size() < 4 || token.substr(0, 2) != u"&#" || token.back() != u';')
    return fail();
  std::u16string_view digits = token.substr(2, token.size() - 3);
  unsigned base = 10;
  if (digits.front() == u'x') {
    base = 16;
    digits.remove_prefix(1);
  }
  if (digits.empty())
    return fail();
  char32_t value = 0;
  for (char16_t c : digits) {
    unsigned digit;
    if (c >= u'0' && c <= u'9')
      digit = c - u'0';
    else if (base == 16 && c >= u'a' && c <= u'f')
      digit = c - u'a' + 10;
    else if (base == 16 && c >= u'A' && c <= u'F')
      digit = c - u'A' + 10;
    else
      return fail();
    value = value * base + digit;
    if (value > 0x10FFFF)
      return fail();
  }
  if (value < 0x10000 && (!isXmlChar(static_cast<char16_t>(value)) || (value >= 0xD800 && value <= 0xDFFF)))
    return fail();
  std::u16string units;
  appendCodePoint(units, value);
  return units;
}

} // namespace xml

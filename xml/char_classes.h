#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Character classes and name productions of XML 1.0 (first and second
// edition) and Namespaces in XML, over UTF-16 code units.
namespace xml {

namespace detail {
enum : std::uint8_t {
  kFlagChar = 1,
  kFlagNameStart = 4,
  kFlagNameChar = 8,
  kFlagPubidChar = 16,
  kFlagLetter = 32,
  // Units a character-data check must look at closely: non-Chars,
  // surrogates, '<', '&' and '>'.
  kFlagDataAttention = 64,
};
extern const std::uint8_t* const kCharFlags;
inline bool hasFlag(char16_t c, std::uint8_t flag) { return (kCharFlags[c] & flag) != 0; }
} // namespace detail

// [2] Char: 0x09, 0x0A, 0x0D and 0x20-0xFFFD; surrogate code units pass.
inline bool isXmlChar(char16_t c) { return detail::hasFlag(c, detail::kFlagChar); }
// [3] S: space, tab, carriage return, line feed.
inline bool isXmlWhiteSpace(char16_t c) { return c == 0x20 || c == 0x09 || c == 0x0A || c == 0x0D; }
// [84] Letter ::= BaseChar | Ideographic
inline bool isXmlLetter(char16_t c) { return detail::hasFlag(c, detail::kFlagLetter); }
bool isXmlBaseChar(char16_t c);
bool isXmlIdeographic(char16_t c);
bool isXmlCombiningChar(char16_t c);
bool isXmlDigit(char16_t c);
bool isXmlExtender(char16_t c);
// Letter | '_' | ':'
inline bool isXmlNameStartChar(char16_t c) { return detail::hasFlag(c, detail::kFlagNameStart); }
// [4] NameChar ::= Letter | Digit | '.' | '-' | '_' | ':' | CombiningChar | Extender
inline bool isXmlNameChar(char16_t c) { return detail::hasFlag(c, detail::kFlagNameChar); }
// [13] PubidChar
inline bool isXmlPubidChar(char16_t c) { return detail::hasFlag(c, detail::kFlagPubidChar); }

// [5] Name; the empty string is not a Name.
bool isXmlName(std::u16string_view s);
// [7] Nmtoken ::= (NameChar)+
bool isXmlNmtoken(std::u16string_view s);
// NCName of Namespaces in XML: a Name without ':'.
bool isXmlNCName(std::u16string_view s);
// QName ::= (Prefix ':')? LocalPart, both NCNames.
bool isXmlQName(std::u16string_view s);
// [26] VersionNum ::= ([a-zA-Z0-9_.:] | '-')+
bool isXmlVersionNum(std::u16string_view s);
// [81] EncName ::= [A-Za-z] ([A-Za-z0-9._] | '-')*
bool isXmlEncName(std::u16string_view s);
// The content of a [12] PubidLiteral (without its quotes); empty passes.
bool isXmlPubidChars(std::u16string_view s);
// [11] SystemLiteral / [12] PubidLiteral including the quotes: matching
// apostrophes or quotation marks around characters that do not contain them.
bool isXmlSystemLiteral(std::u16string_view s);
bool isXmlPubidLiteral(std::u16string_view s);

// Non-empty and every unit white space.
bool isXmlWhiteSpaceText(std::u16string_view s);

// Character data: every unit a Char, surrogates in pairs, no "]]>"; the text
// variant (element content, attribute values) also rejects '<' and '&'.
bool isXmlCharData(std::u16string_view s);
bool isXmlCDataContent(std::u16string_view s);
// Every unit a Char and surrogates in pairs (comments, processing instructions).
bool isXmlChars(std::u16string_view s);
// [15] The text of a comment: Chars without "--" and not ending in '-'.
bool isXmlCommentText(std::u16string_view s);

// [66] CharRef: "&#" digits ";" or "&#x" hex digits ";" (the whole token).
// Returns one unit or a surrogate pair; raises EConvertError
// "%S is not a valid XmlCharRef value." for anything else.
std::u16string decodeXmlCharRef(std::u16string_view token);

// The units of a code point: one below 0x10000, else a surrogate pair.
void appendCodePoint(std::u16string& out, char32_t cp);

} // namespace xml

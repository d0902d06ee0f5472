#pragma once
#include <string>
#include <string_view>

// Conversions between the DOM's UTF-16 strings and 8-bit text.
namespace xml {

// UTF-8 of the units; a lone surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view units);
// Units of UTF-8 text; an invalid byte becomes U+FFFD.
std::u16string fromUtf8(std::string_view text);
// Units of 8-bit text taken byte for byte (ISO-8859-1).
std::u16string fromLatin1(std::string_view bytes);

} // namespace xml

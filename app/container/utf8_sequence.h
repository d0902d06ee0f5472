#pragma once

#include <cstddef>
#include <string_view>

namespace app {

// One well-formed UTF-8 character at the start of a text.
struct Utf8Character {
  char32_t codePoint = 0;
  std::size_t length = 0;  // 0 when the text does not start with a well-formed character
};

// The character at the start of `text`: one to four bytes as Unicode
// allows them (no overlong forms, no surrogates, nothing above U+10FFFF).
Utf8Character FirstUtf8Character(std::string_view text);

// How many bytes at the end of `text` begin a character that the end cut
// off, 0 when the text ends between characters (or in bytes that are no
// UTF-8 anyway).
std::size_t CutUtf8Tail(std::string_view text);

}  // namespace app

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The program's 8-bit text is Windows-1252 ("ANSI"): container text, the
// dictionary, the transfer log and values taken from XML documents.

std::u16string AnsiToUtf16(std::string_view text);
// Characters without a Windows-1252 byte become "?", as the Windows conversion does.
std::string Utf16ToAnsi(std::u16string_view text);

// Windows-1252 text as UTF-8 (for programs and files that expect UTF-8).
std::string AnsiToUtf8(std::string_view text);

// UTF-8 text passes unchanged; any other byte string is read as Windows-1252.
// Used where 8-bit text of either kind meets Unicode (window texts).
std::u16string DisplayText(std::string_view text);
// The same rule, with UTF-8 out (for a terminal).
std::string DisplayUtf8(std::string_view text);

bool IsValidUtf8(std::string_view text);

// A text of the program written in the source as UTF-8 and stored in
// Windows-1252, converted at compile time: "Zeitüberschreitung"_ansi. A
// character beyond Latin-1 does not compile.
template <std::size_t N>
struct AnsiLiteral {
  char bytes[N] = {};

  consteval AnsiLiteral(const char (&utf8)[N]) {
    std::size_t out = 0;
    for (std::size_t i = 0; i + 1 < N; ++i) {
      const auto byte = static_cast<unsigned char>(utf8[i]);
      if (byte < 0x80) {
        bytes[out++] = utf8[i];
        continue;
      }
      // U+0080 to U+00FF: C2 or C3 and one continuation byte, the byte of Latin-1 and Windows-1252 alike.
      const auto next = static_cast<unsigned char>(utf8[i + 1]);
      if ((byte != 0xC2 && byte != 0xC3) || (next & 0xC0) != 0x80 || (byte == 0xC2 && next < 0xA0))
        throw "only Latin-1 characters have the same byte in Windows-1252";
      bytes[out++] = static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
      ++i;
    }
  }
};

template <AnsiLiteral text>
constexpr const char* operator""_ansi() {
  return text.bytes;
}

}  // namespace platform

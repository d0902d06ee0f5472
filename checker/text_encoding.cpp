#include "checker/text_encoding.h"

namespace mmx {
namespace {

// Windows-1252 0x80..0x9F; the five unassigned bytes map to U+FFFD.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178,
};

void AppendUtf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

char16_t Windows1252(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kWindows1252High[byte - 0x80] : byte; }

}  // namespace

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    // Continuation bytes after the lead byte, and the smallest value that needs them.
    const int continuation = (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : 0;
    if (continuation == 0 || i + continuation >= text.size()) return false;
    static constexpr unsigned kMinimum[] = {0, 0x80, 0x800, 0x10000};
    unsigned value = lead & (0x7F >> (continuation + 1));
    for (int k = 1; k <= continuation; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    if (value < kMinimum[continuation] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += continuation + 1;
  }
  return true;
}

std::string DisplayText(std::string_view text) {
  if (IsValidUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text) {
    AppendUtf8(Windows1252(static_cast<unsigned char>(c)), out);
  }
  return out;
}

std::optional<std::string> Windows1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  for (char c : text) {
    const char16_t code = Windows1252(static_cast<unsigned char>(c));
    if (code == 0xFFFD) return std::nullopt;
    AppendUtf8(code, out);
  }
  return out;
}

}  // namespace mmx

#include "app/container/utf8_sequence.h"

namespace app {
namespace {

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length a lead byte announces, 0 for bytes no character starts with.
std::size_t AnnouncedLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// The range the second byte must lie in after a lead byte (RFC 3629).
bool SecondByteFits(unsigned char lead, unsigned char second) {
  switch (lead) {
    case 0xE0: return second >= 0xA0 && second <= 0xBF;
    case 0xED: return second >= 0x80 && second <= 0x9F;
    case 0xF0: return second >= 0x90 && second <= 0xBF;
    case 0xF4: return second >= 0x80 && second <= 0x8F;
    default: return IsContinuation(second);
  }
}

}  // namespace

Utf8Character FirstUtf8Character(std::string_view text) {
  if (text.empty()) return {};
  const auto lead = static_cast<unsigned char>(text[0]);
  const std::size_t length = AnnouncedLength(lead);
  if (length == 0 || text.size() < length) return {};
  if (length == 1) return {lead, 1};
  if (!SecondByteFits(lead, static_cast<unsigned char>(text[1]))) return {};
  char32_t codePoint = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!IsContinuation(byte)) return {};
    codePoint = (codePoint << 6) | (byte & 0x3F);
  }
  return {codePoint, length};
}

std::size_t CutUtf8Tail(std::string_view text) {
  // A character has at most three bytes after its lead.
  for (std::size_t back = 1; back <= 4 && back <= text.size(); ++back) {
    const auto byte = static_cast<unsigned char>(text[text.size() - back]);
    if (IsContinuation(byte)) continue;
    const std::size_t length = AnnouncedLength(byte);
    return length > back ? back : 0;
  }
  return 0;
}

}  // namespace app

#pragma once
#include <array>

namespace xml {

// Units for the bytes 0x80-0xFF of a single-byte code page; kUndefinedByte
// marks a byte without a mapping.
using TCodePageHalf = std::array<char16_t, 128>;
inline constexpr char16_t kUndefinedByte = 0xFFFF;

// The table for encoding codes 4-27; null for any other code (ISO-8859-1 maps
// every byte to the unit of the same value and needs none).
const TCodePageHalf* codePageUpperHalf(int encodingCode);

} // namespace xml

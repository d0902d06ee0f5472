#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The bytes of a .reg file as text in the store's encoding, UTF-8 (the
// system's own bytes, which the values are handed to the program in).
// Regedit exports "Windows Registry Editor Version 5.00" files as UTF-16LE
// with a byte-order mark; a UTF-8 mark is dropped; "REGEDIT4" files are ANSI
// (Windows-1252) unless they are valid UTF-8; other 8-bit files pass as they
// are. nullopt when UTF-16 does not decode (an odd length, a lone surrogate).
std::optional<std::string> DecodeRegBytes(std::string_view bytes);

}  // namespace platform

#pragma once

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

bool IsValidUtf8(std::string_view text);

}  // namespace platform

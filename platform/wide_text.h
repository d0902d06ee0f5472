#pragma once

#include <string>

namespace platform {

// UTF-8 <-> UTF-16 for the wide-character Windows calls. Invalid input
// becomes U+FFFD rather than being dropped.
std::wstring Widen(const std::string& utf8);
std::string Narrow(const std::wstring& utf16);

}  // namespace platform

#pragma once

#include <string>
#include <string_view>

namespace app {

// Case changes for the letters a to z only: names, options and keywords are
// compared this way, whatever the locale, and other bytes stay as they are.
std::string AsciiUpper(std::string_view text);
std::string AsciiLower(std::string_view text);

}  // namespace app

#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mmx {

// The lines of a text file (LF or CR LF ends a line); nothing when it cannot be read.
std::optional<std::vector<std::string>> ReadTextLines(const std::string& path);

// `text` without blanks and tabs at either end.
std::string_view Trim(std::string_view text);

}  // namespace mmx

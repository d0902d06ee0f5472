#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mmx {

bool IsValidUtf8(std::string_view text);

// `text` as UTF-8 for the log: valid UTF-8 stays as it is, anything else is
// read as Windows-1252, the code page containers and Windows paths are written in.
std::string DisplayText(std::string_view text);

// Windows-1252 `text` as UTF-8; nothing when it holds one of the five bytes
// the code page leaves undefined.
std::optional<std::string> Windows1252ToUtf8(std::string_view text);

}  // namespace mmx

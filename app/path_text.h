#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace app {

// File names travel through the workflow as UTF-8 text. These turn them into
// the system's paths and back without the ANSI code page of Windows: on
// Linux the bytes pass unchanged.

// The separator the user sees in paths: "\" on Windows, "/" elsewhere.
inline constexpr char kPathSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

std::filesystem::path PathOf(std::string_view utf8);
// The path as UTF-8, its separators the system's own.
std::string PathText(const std::filesystem::path& path);
// "<folder><separator><name>".
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace app

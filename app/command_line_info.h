#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app {

// The text that "--help" or "--version" asks for (the first of them among
// `arguments` counts), to be printed to standard output before anything else
// starts; empty when neither is there.
std::optional<std::string> CommandLineInformation(const std::vector<std::string>& arguments);

}  // namespace app

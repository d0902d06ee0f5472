#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace app {

// What the process was started with: where the executable lies (AppDir is its
// parent) and the command-line arguments after the program name.
struct LaunchInfo {
  std::filesystem::path executableFolder;
  std::vector<std::string> arguments;
};

// The application title and the caption of the framework's error display.
inline constexpr const char* kApplicationTitle = "Parcelo V3.0";

}  // namespace app

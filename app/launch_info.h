#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace app {

// What the process was started with: where the executable lies (AppDir is its
// parent), the command-line arguments after the program name, whether a
// user can see the windows (false on a machine without a display), and
// whether the user may write below AppDir (false for a system-wide install).
struct LaunchInfo {
  std::filesystem::path executableFolder;
  std::vector<std::string> arguments;
  bool display = true;
  bool appDirWritable = true;
};

// The application title and the caption of the framework's error display.
inline constexpr const char* kApplicationTitle = "Parcelo V3.0";

}  // namespace app

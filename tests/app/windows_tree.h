#pragma once

// The Windows build the Windows job names in PARCELO_WINDOWS_TREE, whose
// programs the Linux side runs under wine.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace test {

inline const char* WindowsTree() { return std::getenv("PARCELO_WINDOWS_TREE"); }

// The Windows program sees the Linux file system as drive Z:.
inline std::string WindowsName(const std::filesystem::path& path) {
  std::string name = "Z:" + path.string();
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

}  // namespace test

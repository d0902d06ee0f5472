#include "app/path_text.h"

namespace app {

std::filesystem::path PathOf(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string PathText(const std::filesystem::path& path) {
  std::filesystem::path shown = path;
  const std::u8string text = shown.make_preferred().u8string();
  return std::string(text.begin(), text.end());
}

std::string JoinPath(const std::string& folder, const std::string& name) { return folder + kPathSeparator + name; }

}  // namespace app

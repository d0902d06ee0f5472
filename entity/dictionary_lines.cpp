#include "entity/dictionary_lines.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

namespace entity {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

namespace {

EDictionaryReadError ReadError(const std::string& path, int error) {
  return EDictionaryReadError("Cannot read dictionary file \"" + path + "\": " + std::strerror(error));
}

}  // namespace

std::optional<std::vector<std::string>> ReadDictionaryLines(const std::string& path) {
  // Linux opens a folder and fails at the first read; Windows refuses to
  // open it, which would pass for a missing file. Both raise the read error.
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) throw ReadError(path, EISDIR);
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) return std::nullopt;

  std::string content;
  char chunk[8192];
  std::size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) content.append(chunk, got);
  if (std::ferror(file.get())) throw ReadError(path, errno);
  return SplitLines(content);
}

}  // namespace entity

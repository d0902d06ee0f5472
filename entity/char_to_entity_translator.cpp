#include "entity/char_to_entity_translator.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace entity {
namespace {

bool HasByteAbove127(const char* eight) {
  std::uint64_t word;
  std::memcpy(&word, eight, sizeof word);
  return (word & 0x8080808080808080u) != 0;
}

}  // namespace

const std::string& TCharToEntityTranslator::DictionaryFile() const { return dictionary_file_; }

std::string TCharToEntityTranslator::Lookup(std::string_view s) const {
  for (std::size_t i = 0; i < keys_.size(); ++i) {
    if (keys_[i] == s) return values_[i];
  }
  return std::string(s);
}

void TCharToEntityTranslator::SetDictionaryFile(const std::string& path) {
  if (path == dictionary_file_) return;
  // Stored first, so a failed load is not retried by assigning the same path again.
  dictionary_file_ = path;

  auto lines = ReadDictionaryLines(path);
  if (!lines) {
    lines_.clear();
    return;
  }
  lines_ = std::move(*lines);
  keys_.clear();
  values_.clear();
  for (const std::string& line : lines_) {
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos) continue;
    keys_.push_back(line.substr(0, equals));
    values_.push_back(line.substr(equals + 1));
  }
  RebuildTable();
}

bool TCharToEntityTranslator::IsWhitespace(char c) const {
  return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

std::string TCharToEntityTranslator::Translate(std::string_view text) const {
  std::string result;
  result.reserve(text.size());
  AppendTranslation(text, result);
  return result;
}

void TCharToEntityTranslator::AppendTranslation(std::string_view text, std::string& out) const {
  // Runs of bytes that stay as they are are copied in one piece.
  std::size_t run_start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // Containers are mostly ASCII: when the dictionary keeps every ASCII
    // byte, eight of them at a time are passed over.
    if (ascii_kept_) {
      while (i + 8 <= text.size() && !HasByteAbove127(text.data() + i)) i += 8;
      if (i == text.size()) break;
    }
    const auto byte = static_cast<unsigned char>(text[i]);
    if (!replaced_[byte]) continue;
    out.append(text, run_start, i - run_start);
    out.append(replacement_[byte]);
    run_start = i + 1;
  }
  out.append(text, run_start);
}

std::string TCharToEntityTranslator::ReplaceWhitespace(std::string text, char c) const {
  for (char& ch : text) {
    if (IsWhitespace(ch)) ch = c;
  }
  return text;
}

std::string TCharToEntityTranslator::ReplaceChar(std::string text, char from, char to) const {
  for (char& ch : text) {
    if (ch == from) ch = to;
  }
  return text;
}

const std::vector<std::string>& TCharToEntityTranslator::Lines() const { return lines_; }

void TCharToEntityTranslator::RebuildTable() {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string character(1, static_cast<char>(byte));
    std::string replacement = Lookup(character);
    replaced_[byte] = replacement != character;
    replacement_[byte] = replaced_[byte] ? std::move(replacement) : std::string();
  }
  ascii_kept_ = std::none_of(replaced_.begin(), replaced_.begin() + 128, [](bool replaced) { return replaced; });
}

}  // namespace entity

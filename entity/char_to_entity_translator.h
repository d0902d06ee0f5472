#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "entity/dictionary_lines.h"

namespace entity {

// Replaces single characters of Windows-1252 text by replacement texts
// (typically entity references) read from a dictionary file of "key=value"
// lines. Keys are compared byte for byte, so only one-byte keys ever match.
//
// Translate works from a 256-entry table that is filled from Lookup whenever
// a dictionary loads, so a derived translator that changes Lookup changes
// Translate too; if its Lookup depends on anything besides the dictionary, it
// calls RebuildTable when that changes.
class TCharToEntityTranslator {
 public:
  TCharToEntityTranslator() = default;
  virtual ~TCharToEntityTranslator() = default;
  TCharToEntityTranslator(const TCharToEntityTranslator&) = delete;
  TCharToEntityTranslator& operator=(const TCharToEntityTranslator&) = delete;

  // The path as last assigned; empty until the first assignment.
  virtual const std::string& DictionaryFile() const;

  // The value of the first key equal to `s`; `s` itself when no key matches.
  virtual std::string Lookup(std::string_view s) const;

  // Assigning the current path does nothing. Otherwise the path is stored,
  // then the file is loaded. A file that cannot be opened empties Lines()
  // only and keeps the translation in force; EDictionaryReadError when it
  // opens but cannot be read (the previous dictionary then stays loaded).
  virtual void SetDictionaryFile(const std::string& path);

  // True for tab, line feed, carriage return and blank.
  virtual bool IsWhitespace(char c) const;

  // `text` with every character replaced by its Lookup; empty for empty text.
  virtual std::string Translate(std::string_view text) const;

  // Appends the translation of `text` to `out`, so a caller streaming many
  // lines can reuse one buffer.
  virtual void AppendTranslation(std::string_view text, std::string& out) const;

  // `text` with every character for which IsWhitespace holds replaced by `c`.
  virtual std::string ReplaceWhitespace(std::string text, char c) const;

  // `text` with every `from` replaced by `to`.
  virtual std::string ReplaceChar(std::string text, char from, char to) const;

  // The dictionary file's lines as last loaded, entries or not.
  const std::vector<std::string>& Lines() const;

 protected:
  // Refills the byte table from Lookup.
  void RebuildTable();

 private:
  std::vector<std::string> lines_;
  std::vector<std::string> keys_;
  std::vector<std::string> values_;
  std::string dictionary_file_;

  std::array<bool, 256> replaced_{};
  std::array<std::string, 256> replacement_;
  bool ascii_kept_ = true;  // no byte below 128 is replaced
};

}  // namespace entity

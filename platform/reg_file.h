#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One value of a key: a string, a 32-bit integer (dword), or any other type
// kept verbatim as its .reg text so that it survives a rewrite.
struct RegValue {
  enum Type { kString, kDword, kOther } type = kString;
  std::string text;       // string value, or the raw right-hand side for kOther
  std::int32_t number = 0;
};

struct RegSection {
  std::string name;  // "HKEY_CURRENT_USER\Software\..."
  std::vector<std::pair<std::string, RegValue>> values;

  const RegValue* Find(const std::string& valueName) const;
  void Set(const std::string& valueName, RegValue value);
};

// The contents of a .reg file: sections in file order.
struct RegDocument {
  std::vector<RegSection> sections;

  RegSection* Find(const std::string& sectionName);
  RegSection& FindOrAdd(const std::string& sectionName);
};

// Regedit writes none inside a line but tabs; a line with one is damaged.
bool HasControlCharacter(std::string_view text);

// Parses .reg text (UTF-8, see DecodeRegBytes); nullopt when it is damaged:
// no header line first, a line that is no section, value or comment, a value cut
// short (an open quote, a dword without its eight digits, a continued hex
// value at the end of the file), or a control character.
std::optional<RegDocument> ParseRegText(const std::string& text);
// Text that ParseRegText reads back unchanged, given values without control characters.
std::string FormatRegText(const RegDocument& document);

// What reading the store's file found. A missing file reads as an empty document.
struct RegFileContents {
  enum State { kRead, kUnreadable, kDamaged } state = kRead;
  RegDocument document;  // empty unless kRead
};
RegFileContents ReadRegFile(const std::filesystem::path& file);

// Renames a damaged file, under the lock, to "<name>.damaged-<date>" beside it
// (with the time, and then a count, when that name is taken), so that the
// user's file is kept and a fresh one can take its place. Returns the new
// name; nullopt when the file is not damaged (any more) or cannot be renamed.
std::optional<std::filesystem::path> SetAsideDamagedRegFile(const std::filesystem::path& file);

// Runs `change` on the file's current contents while holding an exclusive lock
// and replaces the file atomically (temporary file, fsync, rename) when the
// change returns true. Returns false when the file cannot be read, parsed or written.
bool UpdateRegFile(const std::filesystem::path& file,
                   const std::function<bool(RegDocument&)>& change);

}  // namespace platform

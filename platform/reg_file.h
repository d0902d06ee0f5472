#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
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

// Parses .reg text; nullopt when the text is not a .reg export we can read.
std::optional<RegDocument> ParseRegText(const std::string& text);
std::string FormatRegText(const RegDocument& document);

// Reads the file; a missing file is an empty document, nullopt when it cannot
// be read or parsed.
std::optional<RegDocument> ReadRegFile(const std::filesystem::path& file);

// Runs `change` on the file's current contents while holding an exclusive lock
// and replaces the file atomically (temporary file, fsync, rename) when the
// change returns true. Returns false when the file cannot be read, parsed or written.
bool UpdateRegFile(const std::filesystem::path& file,
                   const std::function<bool(RegDocument&)>& change);

}  // namespace platform

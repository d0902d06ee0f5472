#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace entity {

// A dictionary file that could be opened but not read to its end.
class EDictionaryReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits 8-bit text into lines the way a text list loads a file: a line ends
// at CR LF, at a bare LF or at a bare CR, and the terminator is not part of
// the line. A final line without terminator counts; empty text gives no line.
std::vector<std::string> SplitLines(std::string_view text);

// The lines of the file at `path` (relative to the working directory).
// Returns nothing when the file cannot be opened; raises EDictionaryReadError
// when it opens but reading fails (for example, the path names a folder).
std::optional<std::vector<std::string>> ReadDictionaryLines(const std::string& path);

}  // namespace entity

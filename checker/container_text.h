#pragma once

#include <string>
#include <string_view>

namespace mmx {

// What reading a container found.
enum class ContainerKind {
  kText,        // bytes that can be handed to the XML parser
  kMissing,     // no such file
  kUnreadable,  // exists but cannot be read (a folder, no permission, an I/O error)
  kEmpty,       // no bytes at all, or only white space
  kBinary,      // not text: an archive, an image, an executable ...
};

struct ContainerText {
  ContainerKind kind = ContainerKind::kMissing;
  std::string bytes;   // the file's content for kText
  std::string detail;  // for kUnreadable the system's reason; for kBinary what the bytes look like
};

// Reads the container at `path` (relative to the working directory) and sorts it. Never raises
// for what the file holds; only running out of memory escapes.
ContainerText ReadContainer(const std::string& path);

// An SGML container may name only a public identifier in its document type
// declaration; XML requires a system literal after it. Inserts an empty one
// (on the same line, so line numbers stay) and returns whether it did.
bool AddMissingSystemLiteral(std::string& text);

// The encoding the parser must be told, or empty when the text tells it
// itself: a byte order mark, an encoding declaration, or valid UTF-8.
std::string EncodingToForce(std::string_view text, const std::string& fallback);

// The encoding the parser reads `text` in: `forced`, else the one its XML
// declaration names; empty for UTF-8, UTF-16 and a byte order mark.
std::string EncodingOf(std::string_view text, const std::string& forced);

// libxml2 knows windows-1252 only through iconv, which it lacks on Windows:
// text in that code page (forced or declared) is converted to UTF-8 here on
// every system and `encoding` becomes "UTF-8". Text with a byte the code page
// leaves undefined stays as it is, for the parser to refuse.
void ConvertWindows1252(std::string& text, std::string& encoding);

}  // namespace mmx

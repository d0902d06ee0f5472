#pragma once

#include <string_view>

namespace app {

// How the preparation may read a container's text.
enum class ContainerEncoding {
  kWindows1252,  // 8-bit text in the program's code page
  kUtf8,         // UTF-8: the dictionary's characters are found as characters
  kUnreadable,   // text in an encoding the preparation cannot read safely
};

// The encoding of a container, from its first bytes: a UTF-8 byte-order mark
// or an XML declaration naming UTF-8 gives UTF-8; a declaration naming
// Windows-1252, ISO-8859-1 or US-ASCII, or none at all, gives Windows-1252
// (what containers have always been); a UTF-16 or UTF-32 byte-order mark, a
// mark that contradicts the declaration, or any other declared encoding
// cannot be read safely.
ContainerEncoding EncodingOfContainer(std::string_view head);

// How many bytes EncodingOfContainer needs to see of a container.
inline constexpr std::size_t kContainerHeadSize = 4096;

}  // namespace app

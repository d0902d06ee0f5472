#pragma once
#include <cstddef>
#include <cstdint>

namespace fuzz {

// Parses the bytes as a document and as an external subset. For a document
// that parses, reads it the ways the program does (walks, lists, attribute
// values, markup) and parses its markup again. False when the markup of a
// parsed document does not parse; every other failure is an exception that
// the parser is allowed to raise.
bool parseAndCheck(const std::uint8_t* data, std::size_t size);

} // namespace fuzz

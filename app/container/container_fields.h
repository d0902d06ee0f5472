#pragma once

#include <string>

namespace xml {
class TDomNode;
}

namespace app {

// The content of an element written as XML (the markup of each child, in
// order), as Windows-1252 text; empty for an element without children.
std::string ElementValue(const xml::TDomNode& element);

}  // namespace app

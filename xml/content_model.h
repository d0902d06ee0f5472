#pragma once
#include <string_view>

#include "xml/dtd_nodes.h"

namespace xml {

class TDomDocument;

// [46] contentspec: "EMPTY", "ANY", mixed (it names #PCDATA) or element content.
TContentKind contentKindOf(std::u16string_view contentSpec);

// Parses a mixed or element content model ([51] Mixed, [47] children) into
// particle nodes below `declaration`. Raises
// EParserInvalidElementDeclarationError for anything else, and for groups
// nested deeper than a sane limit.
void buildContentModel(TDomDocument& document, TDomElementTypeDeclaration& declaration,
                       std::u16string_view contentSpec);

} // namespace xml

#pragma once
#include <string>
#include <string_view>

namespace xml {

class TDomDocument;

// Upper bounds of one attribute value's expansion: the text it may expand
// to, in units, and the nodes of replacement trees it may visit (entities
// that expand to nothing produce no text, but walking them is work).
inline constexpr std::size_t kMaxExpandedValueUnits = 4 * 1024 * 1024;
inline constexpr std::size_t kMaxExpandedValueNodes = 1024 * 1024;

// The value of one of the five predefined entities ("lt", "gt", "amp",
// "apos", "quot"), or null for any other name.
const char16_t* predefinedEntityValue(std::u16string_view name);

// Appends the value of the general entity `name` as an attribute value sees
// it: the text of its replacement tree with nested references expanded. The
// five predefined entities are known without a declaration. Raises
// EInvalidEntityReferenceError for an undeclared or unusable entity, a
// reference back to an entity being expanded and markup in the replacement;
// EInvalidEntityReferenceError "Entity expansion limit error." past either
// bound above; ENoExternalEntityAllowedError for an external entity.
void appendEntityValue(const TDomDocument& document, std::u16string_view name, std::u16string& out);

} // namespace xml

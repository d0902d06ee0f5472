#pragma once
#include <string>
#include <string_view>

namespace xml {

class TDomDocument;

// Upper bound of the text one attribute value may expand to, in units.
inline constexpr std::size_t kMaxExpandedValueUnits = 4 * 1024 * 1024;

// Appends the value of the general entity `name` as an attribute value sees
// it: the text of its replacement tree with nested references expanded. The
// five predefined entities are known without a declaration. Raises
// EInvalidEntityReferenceError for an undeclared or unusable entity, a
// reference back to an entity being expanded, markup in the replacement and
// an expansion beyond kMaxExpandedValueUnits; ENoExternalEntityAllowedError
// for an external entity.
void appendEntityValue(const TDomDocument& document, std::u16string_view name, std::u16string& out);

} // namespace xml

#pragma once
#include <cstdint>
#include <initializer_list>

namespace xml {

// Node-type codes, one per node class. Unscoped so that `nodeType() == 1`
// and `nodeType() == ELEMENT_NODE` both read naturally.
enum TDomNodeType : std::uint8_t {
  ELEMENT_NODE = 1,
  ATTRIBUTE_NODE = 2,
  TEXT_NODE = 3,
  CDATA_SECTION_NODE = 4,
  ENTITY_REFERENCE_NODE = 5,
  ENTITY_NODE = 6,
  PROCESSING_INSTRUCTION_NODE = 7,
  COMMENT_NODE = 8,
  DOCUMENT_NODE = 9,
  DOCUMENT_TYPE_NODE = 10,
  DOCUMENT_FRAGMENT_NODE = 11,
  NOTATION_NODE = 12,
  XML_DECLARATION_NODE = 13,
  CONDITIONAL_SECTION_NODE = 14,
  PARAMETER_ENTITY_REFERENCE_NODE = 15,
  PARAMETER_ENTITY_NODE = 16,
  ENTITY_DECLARATION_NODE = 17,
  PARAMETER_ENTITY_DECLARATION_NODE = 18,
  ELEMENT_TYPE_DECLARATION_NODE = 19,
  SEQUENCE_PARTICLE_NODE = 20,
  CHOICE_PARTICLE_NODE = 21,
  PCDATA_CHOICE_PARTICLE_NODE = 22,
  ELEMENT_PARTICLE_NODE = 23,
  ATTRIBUTE_LIST_NODE = 24,
  ATTRIBUTE_DEFINITION_NODE = 25,
  NAMETOKEN_NODE = 26,
  TEXT_DECLARATION_NODE = 27,
  NOTATION_DECLARATION_NODE = 28,
  EXTERNAL_PARSED_ENTITY_NODE = 29,
  EXTERNAL_PARAMETER_ENTITY_NODE = 30,
  EXTERNAL_SUBSET_NODE = 31,
  INTERNAL_SUBSET_NODE = 32,
};

// A set over the node-type codes 0..39 (allowed children, whatToShow).
class TDomNodeTypeSet {
public:
  constexpr TDomNodeTypeSet() = default;
  constexpr TDomNodeTypeSet(std::initializer_list<int> codes)
  {
    for (int code : codes)
      if (code >= 0 && code < 40)
        bits_ |= std::uint64_t(1) << code;
  }
  constexpr bool contains(int code) const { return code >= 0 && code < 40 && ((bits_ >> code) & 1) != 0; }

private:
  std::uint64_t bits_ = 0;
};

} // namespace xml

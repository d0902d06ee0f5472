#pragma once

#include <string>
#include <string_view>

#include "entity/char_to_entity_translator.h"

namespace test {

// A translator that also names CR, LF and the letter "a", which a container's
// preparation may only hand it from the text between line ends.
class LineEndNamingTranslator : public entity::TCharToEntityTranslator {
 public:
  std::string Lookup(std::string_view text) const override {
    if (text == "\r") return "<CR>";
    if (text == "\n") return "<LF>";
    if (text == "a") return "&#97;";
    return TCharToEntityTranslator::Lookup(text);
  }
};

}  // namespace test

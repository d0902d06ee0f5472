#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/container/container_encoding.h"
#include "entity/char_to_entity_translator.h"

namespace app {

// The dictionary applied to the text after a container's first line, in the
// container's own encoding.
class BodyTranslation {
 public:
  virtual ~BodyTranslation() = default;
  // Appends the translation of `text` to `out`.
  virtual void Append(std::string_view text, std::string& out) const = 0;
  // True when CR and LF pass unchanged.
  virtual bool KeepsLineEnds() const = 0;
};

// Windows-1252 text: byte for byte through the translator.
class Windows1252Translation : public BodyTranslation {
 public:
  explicit Windows1252Translation(const entity::TCharToEntityTranslator& translator);
  void Append(std::string_view text, std::string& out) const override;
  bool KeepsLineEnds() const override { return keepsLineEnds_; }

 private:
  const entity::TCharToEntityTranslator& translator_;
  bool keepsLineEnds_;
};

// UTF-8 text: each character the dictionary names (a Windows-1252 character)
// is found as that character and replaced by its replacement, written in
// UTF-8; every other character and every byte that is no well-formed UTF-8
// passes unchanged.
class Utf8Translation : public BodyTranslation {
 public:
  explicit Utf8Translation(const entity::TCharToEntityTranslator& translator);
  void Append(std::string_view text, std::string& out) const override;
  bool KeepsLineEnds() const override;

 private:
  const std::string* Replacement(char32_t codePoint) const;

  std::array<std::string, 256> belowFF_;                       // replacements of U+0000..U+00FF, empty for none
  std::vector<std::pair<char32_t, std::string>> aboveFF_;     // the others (Windows-1252's 0x80..0x9F)
  bool asciiKept_ = true;
};

// The translation for a container in `encoding` (Windows-1252 or UTF-8).
std::unique_ptr<BodyTranslation> TranslationFor(ContainerEncoding encoding,
                                                const entity::TCharToEntityTranslator& translator);

}  // namespace app

#include "app/container/body_translation.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "app/container/utf8_sequence.h"
#include "platform/ansi.h"

namespace app {
namespace {

// The first byte at or after `from` that is not ASCII; containers are mostly
// ASCII, so eight bytes at a time are passed over.
std::size_t NextNonAscii(std::string_view text, std::size_t from) {
  for (; from + 8 <= text.size(); from += 8) {
    std::uint64_t word;
    std::memcpy(&word, text.data() + from, sizeof word);
    if (word & 0x8080808080808080u) break;
  }
  while (from < text.size() && static_cast<unsigned char>(text[from]) < 0x80) ++from;
  return from;
}

}  // namespace

Windows1252Translation::Windows1252Translation(const entity::TCharToEntityTranslator& translator)
    : translator_(translator),
      keepsLineEnds_(translator.Translate("\r") == "\r" && translator.Translate("\n") == "\n") {}

void Windows1252Translation::Append(std::string_view text, std::string& out) const {
  translator_.AppendTranslation(text, out);
}

Utf8Translation::Utf8Translation(const entity::TCharToEntityTranslator& translator) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::string character(1, static_cast<char>(byte));
    const std::string replacement = translator.Translate(character);
    if (replacement == character) continue;
    const std::u16string unit = platform::AnsiToUtf16(character);
    const std::string value = platform::AnsiToUtf8(replacement);
    if (unit[0] <= 0xFF)
      belowFF_[unit[0]] = value;
    else
      aboveFF_.emplace_back(unit[0], value);
    if (byte < 0x80) asciiKept_ = false;
  }
}

const std::string* Utf8Translation::Replacement(char32_t codePoint) const {
  if (codePoint <= 0xFF) return belowFF_[codePoint].empty() ? nullptr : &belowFF_[codePoint];
  const auto found = std::find_if(aboveFF_.begin(), aboveFF_.end(), [&](const auto& entry) { return entry.first == codePoint; });
  return found == aboveFF_.end() ? nullptr : &found->second;
}

bool Utf8Translation::KeepsLineEnds() const { return belowFF_['\r'].empty() && belowFF_['\n'].empty(); }

void Utf8Translation::Append(std::string_view text, std::string& out) const {
  std::size_t runStart = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    if (asciiKept_) {
      i = NextNonAscii(text, i);
      if (i == text.size()) break;
    }
    const Utf8Character character = FirstUtf8Character(text.substr(i));
    // A byte that starts no well-formed character passes on by itself.
    const std::size_t length = character.length ? character.length : 1;
    if (const std::string* replacement = character.length ? Replacement(character.codePoint) : nullptr) {
      out.append(text, runStart, i - runStart);
      out += *replacement;
      runStart = i + length;
    }
    i += length;
  }
  out.append(text, runStart);
}

std::unique_ptr<BodyTranslation> TranslationFor(ContainerEncoding encoding,
                                                const entity::TCharToEntityTranslator& translator) {
  if (encoding == ContainerEncoding::kUtf8) return std::make_unique<Utf8Translation>(translator);
  return std::make_unique<Windows1252Translation>(translator);
}

}  // namespace app

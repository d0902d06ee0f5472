#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>

namespace xml {

// [75] ExternalID / [83] PublicID as written: which literals were there
// (either may be present and empty).
struct TExternalIdText {
  std::u16string publicId;
  std::u16string systemId;
  bool hasPublicId = false;
  bool hasSystemId = false;
};

// The split rule of the readers: the name runs to the first white space,
// the rest is what follows that white space without trailing white space.
std::pair<std::u16string_view, std::u16string_view> splitNameAndRest(std::u16string_view text);

// Trims white space at both ends.
std::u16string_view trimWhiteSpace(std::u16string_view text);

// Reads the pieces of a declaration left to right. Every read returns
// whether it found what it looked for and moves on only then.
class TDeclarationScanner {
public:
  explicit TDeclarationScanner(std::u16string_view text) : text_(text) {}

  bool atEnd() const { return pos_ == text_.size(); }
  char16_t peek() const { return atEnd() ? u'\0' : text_[pos_]; }
  std::u16string_view rest() const { return text_.substr(pos_); }

  // True when at least one white-space unit was skipped.
  bool skipWhiteSpace();
  bool consume(std::u16string_view literal);
  bool consume(char16_t unit);
  // [5] Name; empty (and nothing consumed) when none starts here.
  std::u16string_view readName();
  // [7] Nmtoken; empty when none starts here.
  std::u16string_view readNmtoken();
  // A literal between matching apostrophes or quotation marks; `inner` gets
  // what lies between them.
  bool readQuoted(std::u16string_view& inner);

  enum class TExternalIdForm {
    // "SYSTEM" S SystemLiteral | "PUBLIC" S PubidLiteral S SystemLiteral
    Full,
    // Also "PUBLIC" S PubidLiteral alone (notations).
    PublicIdAllowed,
  };
  enum class TExternalIdResult { Absent, Read, Invalid };
  // [75] ExternalID / [83] PublicID.
  TExternalIdResult readExternalId(TExternalIdForm form, TExternalIdText& externalId);

private:
  std::u16string_view text_;
  std::size_t pos_ = 0;
};

} // namespace xml

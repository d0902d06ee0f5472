#include "app/container/container_encoding.h"

#include <array>
#include <optional>
#include <string>

#include "app/ascii_case.h"

namespace app {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The value of the encoding pseudo-attribute of an XML declaration at the
// start of `text`: nothing when there is no declaration, an empty value when
// the declaration names no encoding or cannot be read to its end.
std::optional<std::string> DeclaredEncoding(std::string_view text) {
  if (!text.starts_with("<?xml") || text.size() < 6 || !IsSpace(text[5])) return std::nullopt;
  const std::size_t end = text.find("?>");
  if (end == std::string_view::npos) return "?";  // a declaration that does not end: nothing to rely on
  const std::string_view declaration = text.substr(0, end);
  // [80] EncodingDecl ::= S 'encoding' Eq ('"' EncName '"' | "'" EncName "'")
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return std::string();
  at += 8;
  while (at < declaration.size() && IsSpace(declaration[at])) ++at;
  if (at >= declaration.size() || declaration[at] != '=') return "?";
  ++at;
  while (at < declaration.size() && IsSpace(declaration[at])) ++at;
  if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\'')) return "?";
  const std::size_t close = declaration.find(declaration[at], at + 1);
  if (close == std::string_view::npos) return "?";
  return AsciiLower(declaration.substr(at + 1, close - at - 1));
}

bool NamesUtf8(const std::string& name) { return name == "utf-8" || name == "utf8"; }

// Names under which Windows-1252 text comes; ISO-8859-1 is read as its
// superset Windows-1252, as browsers read it.
bool NamesWindows1252(const std::string& name) {
  static constexpr std::array<std::string_view, 10> kNames = {
      "windows-1252", "cp1252", "iso-8859-1", "iso8859-1", "iso_8859-1", "latin1", "latin-1", "l1", "us-ascii", "ascii"};
  for (std::string_view known : kNames)
    if (name == known) return true;
  return false;
}

}  // namespace

ContainerEncoding EncodingOfContainer(std::string_view head) {
  if (head.starts_with("\xFF\xFE") || head.starts_with("\xFE\xFF") || head.starts_with(std::string_view("\0\0\xFE\xFF", 4)))
    return ContainerEncoding::kUnreadable;
  const bool marked = head.starts_with(kUtf8Mark);
  if (marked) head.remove_prefix(kUtf8Mark.size());
  const std::optional<std::string> declared = DeclaredEncoding(head);
  if (!declared || declared->empty())
    return marked ? ContainerEncoding::kUtf8 : ContainerEncoding::kWindows1252;
  if (NamesUtf8(*declared)) return ContainerEncoding::kUtf8;
  if (NamesWindows1252(*declared) && !marked) return ContainerEncoding::kWindows1252;
  return ContainerEncoding::kUnreadable;
}

}  // namespace app

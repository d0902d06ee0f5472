#include "checker/container_text.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "checker/text_encoding.h"

namespace mmx {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// What a binary file is, from its first bytes; empty when it looks like text.
std::string DescribeBinary(std::string_view bytes) {
  struct Signature {
    std::string_view magic;
    const char* name;
  };
  static constexpr Signature kSignatures[] = {
      {"PK\x03\x04", "a ZIP archive"}, {"PK\x05\x06", "an empty ZIP archive"},
      {"\x1F\x8B", "a gzip archive"},  {"\x7F" "ELF", "an executable program"},
      {"MZ", "a Windows program"},     {"%PDF", "a PDF document"},
      {"\x89PNG", "a PNG image"},      {"\xFF\xD8\xFF", "a JPEG image"},
  };
  for (const Signature& signature : kSignatures) {
    if (StartsWith(bytes, signature.magic)) return signature.name;
  }
  // UTF-16 text holds zero bytes but starts with a byte order mark or "<".
  if (StartsWith(bytes, "\xFE\xFF") || StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, std::string_view("<\0", 2)) ||
      StartsWith(bytes, std::string_view("\0<", 2))) {
    return {};
  }
  const std::string_view head = bytes.substr(0, 64 * 1024);
  std::size_t controls = 0;
  for (unsigned char c : head) {
    if (c == 0) return "binary data";
    // Tab, line feed, form feed, carriage return and the DOS end-of-file mark occur in text.
    if (c < 0x20 && c != '\t' && c != '\n' && c != '\f' && c != '\r' && c != 0x1A) ++controls;
  }
  return controls * 100 > head.size() ? "binary data" : "";
}

bool IsBlank(std::string_view bytes) { return bytes.find_first_not_of(" \t\r\n\f\x1A") == std::string_view::npos; }

bool IsNameStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == ':'; }

}  // namespace

ContainerText ReadContainer(const std::string& path) {
  ContainerText result;
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) {
    result.kind = ContainerKind::kMissing;
    return result;
  }
  if (std::filesystem::is_directory(status)) {
    result.kind = ContainerKind::kUnreadable;
    result.detail = "it is a folder";
    return result;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.kind = ContainerKind::kUnreadable;
    result.detail = std::strerror(errno);
    return result;
  }
  result.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (in.bad()) {
    result.kind = ContainerKind::kUnreadable;
    result.detail = "reading it failed";
    result.bytes.clear();
    return result;
  }
  if (IsBlank(result.bytes)) {
    result.kind = ContainerKind::kEmpty;
    return result;
  }
  result.detail = DescribeBinary(result.bytes);
  result.kind = result.detail.empty() ? ContainerKind::kText : ContainerKind::kBinary;
  if (result.kind == ContainerKind::kBinary) result.bytes.clear();
  return result;
}

bool AddMissingSystemLiteral(std::string& text) {
  const std::size_t doctype = text.find("<!DOCTYPE");
  if (doctype == std::string::npos) return false;
  // Only a declaration in the prolog counts: no element may start before it.
  for (std::size_t lt = text.find('<'); lt < doctype; lt = text.find('<', lt + 1)) {
    if (IsNameStart(text[lt + 1])) return false;
  }
  std::size_t at = text.find_first_not_of(" \t\r\n", doctype + 9);
  at = text.find_first_of(" \t\r\n", at);  // after the root element's name
  at = text.find_first_not_of(" \t\r\n", at);
  if (at == std::string::npos || text.compare(at, 6, "PUBLIC") != 0) return false;
  at = text.find_first_not_of(" \t\r\n", at + 6);
  if (at == std::string::npos || (text[at] != '"' && text[at] != '\'')) return false;
  const std::size_t closing = text.find(text[at], at + 1);
  if (closing == std::string::npos) return false;
  const std::size_t next = text.find_first_not_of(" \t\r\n", closing + 1);
  if (next == std::string::npos || (text[next] != '>' && text[next] != '[')) return false;
  text.insert(closing + 1, " \"\"");
  return true;
}

std::string EncodingToForce(std::string_view text, const std::string& fallback) {
  if (StartsWith(text, "\xEF\xBB\xBF") || StartsWith(text, "\xFE\xFF") || StartsWith(text, "\xFF\xFE")) return {};
  if (StartsWith(text, "<?xml")) {
    const std::string_view declaration = text.substr(0, text.find("?>"));
    if (declaration.find("encoding") != std::string_view::npos) return {};
  }
  return IsValidUtf8(text) ? std::string() : fallback;
}

std::string EncodingOf(std::string_view text, const std::string& forced) {
  if (!forced.empty() || !StartsWith(text, "<?xml")) return forced;
  const std::string_view declaration = text.substr(0, text.find("?>"));
  const std::size_t name = declaration.find("encoding");
  if (name == std::string_view::npos) return {};
  const std::size_t quote = declaration.find_first_of("\"'", name);
  if (quote == std::string_view::npos) return {};
  const std::size_t end = declaration.find(declaration[quote], quote + 1);
  return std::string(declaration.substr(quote + 1, end == std::string_view::npos ? end : end - quote - 1));
}

void ConvertWindows1252(std::string& text, std::string& encoding) {
  std::string name = EncodingOf(text, encoding);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (name != "windows-1252" && name != "cp1252") return;
  if (std::optional<std::string> utf8 = Windows1252ToUtf8(text)) {
    text = std::move(*utf8);
    encoding = "UTF-8";
  }
}

}  // namespace mmx

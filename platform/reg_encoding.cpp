#include "platform/reg_encoding.h"

#include "platform/ansi.h"

namespace platform {
namespace {

constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

void AppendUtf8(char32_t cp, std::string& out) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
    return;
  }
  const int length = cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
  constexpr unsigned char kLead[] = {0, 0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[length] | (cp >> (6 * (length - 1))));
  for (int shift = 6 * (length - 2); shift >= 0; shift -= 6) out += static_cast<char>(0x80 | ((cp >> shift) & 0x3F));
}

std::optional<std::string> Utf16LeToUtf8(std::string_view bytes) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  const auto unit = [&](std::size_t i) -> char32_t {
    return static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8;
  };
  std::string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i < bytes.size(); i += 2) {
    char32_t cp = unit(i);
    if (cp >= 0xDC00 && cp < 0xE000) return std::nullopt;
    if (cp >= 0xD800 && cp < 0xDC00) {
      i += 2;
      if (i >= bytes.size()) return std::nullopt;
      const char32_t low = unit(i);
      if (low < 0xDC00 || low >= 0xE000) return std::nullopt;
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
    }
    AppendUtf8(cp, out);
  }
  return out;
}

}  // namespace

std::optional<std::string> DecodeRegBytes(std::string_view bytes) {
  if (bytes.starts_with(kUtf16LeMark)) return Utf16LeToUtf8(bytes.substr(kUtf16LeMark.size()));
  if (bytes.starts_with(kUtf8Mark)) return std::string(bytes.substr(kUtf8Mark.size()));
  if (bytes.starts_with("REGEDIT4")) return DisplayUtf8(bytes);
  return std::string(bytes);
}

}  // namespace platform

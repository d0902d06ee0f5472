#include "platform/one_line.h"

namespace platform {

std::string OneLine(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 0x20 && byte != 0x7F) || c == '\t') {
      line += c;
    } else if (c == '\r' || c == '\n') {
      line += c == '\r' ? "\\r" : "\\n";
    } else {
      static constexpr char kHex[] = "0123456789ABCDEF";
      line += {'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
    }
  }
  return line;
}

std::string MessageText(std::string_view text, std::string_view lineBreak) {
  if (text.ends_with("\r\n")) text.remove_suffix(2);
  else if (text.ends_with('\n') || text.ends_with('\r')) text.remove_suffix(1);
  std::string shown;
  std::size_t start = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    // A CR before an LF belongs to a line end of a value, not to the message.
    if (text[at] != '\r' || (at + 1 < text.size() && text[at + 1] == '\n')) continue;
    shown += OneLine(text.substr(start, at - start));
    shown += lineBreak;
    start = at + 1;
  }
  return shown + OneLine(text.substr(start));
}

}  // namespace platform

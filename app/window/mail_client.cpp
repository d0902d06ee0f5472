#include "app/window/mail_client.h"

#include <cctype>
#include <string_view>
#include <vector>

#include "platform/ansi.h"

namespace app {
namespace {

enum class Keep { kUnreservedOnly, kAt };

// `text` in UTF-8 with every byte but the unreserved ones (RFC 3986), and
// "@" between the parts of an address, percent-encoded.
std::string PercentEncoded(const std::string& text, Keep keep) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : platform::AnsiToUtf8(text)) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                            c == '.' || c == '_' || c == '~';
    if (unreserved || (keep == Keep::kAt && c == '@'))
      out += c;
    else
      out += {'%', kHex[byte >> 4], kHex[byte & 0xF]};
  }
  return out;
}

}  // namespace

std::vector<std::string> SplitRecipients(const std::string& recipients) {
  std::vector<std::string> addresses;
  std::string address;
  std::size_t referenceStart = std::string::npos;  // an "&" not yet closed by ";"
  for (char c : recipients) {
    const bool endsReference = c == ';' && referenceStart != std::string::npos;
    if (c == ';' && !endsReference) {
      if (!address.empty()) addresses.push_back(address);
      address.clear();
      continue;
    }
    address += c;
    if (c == '&') referenceStart = address.size() - 1;
    else if (endsReference || !(std::isalnum(static_cast<unsigned char>(c)) || c == '#')) referenceStart = std::string::npos;
  }
  if (!address.empty()) addresses.push_back(address);
  return addresses;
}

bool IsMailAddress(const std::string& entry) {
  const std::size_t at = entry.find('@');
  if (at == 0 || at == std::string::npos || at + 1 == entry.size() || entry.find('@', at + 1) != std::string::npos)
    return false;
  if (entry.front() == '-') return false;
  for (char c : entry) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F) return false;
    if (std::string_view("?&,;:<>\"()[]\\").find(c) != std::string_view::npos) return false;
  }
  return true;
}

SortedRecipients SortRecipients(const std::string& recipients) {
  SortedRecipients sorted;
  for (std::string& entry : SplitRecipients(recipients))
    (IsMailAddress(entry) ? sorted.addresses : sorted.rejected).push_back(std::move(entry));
  return sorted;
}

std::string MailtoUri(const std::vector<std::string>& addresses, const std::string& subject) {
  std::string uri = "mailto:";
  for (std::size_t i = 0; i < addresses.size(); ++i) uri += (i ? "," : "") + PercentEncoded(addresses[i], Keep::kAt);
  return uri + "?subject=" + PercentEncoded(subject, Keep::kUnreservedOnly);
}

}  // namespace app

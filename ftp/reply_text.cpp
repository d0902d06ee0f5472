#include "ftp/reply_text.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "ftp/ftp_errors.h"

namespace ftp {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The value of an all-digit text; nullopt when empty, not all digits or too big.
std::optional<std::int64_t> Digits(const std::string& text) {
  if (text.empty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), IsDigit))
    return std::nullopt;
  return std::stoll(text);
}

// `text` without the blanks at its ends.
std::string WithoutBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string QuotedReply(const std::string& line) {
  const std::size_t end = line.find_last_not_of("\r\n");
  return end == std::string::npos ? "no reply" : line.substr(0, end + 1);
}

std::optional<std::int64_t> LeadingNumber(const std::string& text, std::size_t maxChars) {
  const std::size_t limit = std::min(text.size(), maxChars);
  std::size_t end = 0;
  while (end < limit && IsDigit(text[end])) ++end;
  if (end == 0) return std::nullopt;
  return Digits(text.substr(0, end)).value_or(0);
}

std::optional<int> ReplyCodeOf(const std::string& line) {
  if (line.size() < 3 || line[0] < '1' || line[0] > '5' || !IsDigit(line[1]) || !IsDigit(line[2]))
    return std::nullopt;
  if (line.size() > 3 && std::string_view(" -\r\n").find(line[3]) == std::string_view::npos)
    return std::nullopt;
  return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

bool ContinuesReply(const std::string& line) {
  return !line.empty() && (line[0] == ' ' || (line.size() > 3 && line[3] == '-'));
}

std::string Field(const std::string& text, char delimiter, int n) {
  if (n < 1) return {};
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) {
    const std::size_t next = text.find(delimiter, start);
    if (next == std::string::npos) return {};
    start = next + 1;
  }
  const std::size_t end = text.find(delimiter, start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::optional<std::int64_t> StatusNumber(const std::string& reply) {
  if (ReplyCodeOf(reply) != 213 || reply.size() < 5) return std::nullopt;
  return LeadingNumber(reply.substr(4), 19);
}

std::string TimeStampOf(const std::string& reply) {
  if (ReplyCodeOf(reply) != 213 || reply.size() < 5) return {};
  const std::string rest = reply.substr(4);
  const std::size_t digits = std::find_if_not(rest.begin(), rest.end(), IsDigit) - rest.begin();
  std::size_t end = digits;
  if (end < rest.size() && rest[end] == '.')
    end = std::find_if_not(rest.begin() + static_cast<std::ptrdiff_t>(end) + 1, rest.end(), IsDigit) - rest.begin();
  // Year, month, day, hours, minutes and seconds: fourteen digits at least.
  return digits >= 14 ? rest.substr(0, end) : std::string();
}

std::int64_t ParseByteCount(const std::string& line) {
  std::string upper(line);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  const std::size_t word = upper.find("BYTE");
  if (word == std::string::npos) return 0;
  std::size_t last = word;
  while (last > 0 && !IsDigit(line[last - 1])) --last;
  if (last == 0) return 0;
  std::size_t first = last - 1;
  while (first > 0 && IsDigit(line[first - 1])) --first;
  if (last - first > 255) return 0;
  return Digits(line.substr(first, last - first)).value_or(0);
}

int PassivePort(const std::string& reply) {
  const std::string sixth = Field(reply, ',', 6);
  const std::size_t close = sixth.find(')');
  const auto high = Digits(WithoutBlanks(Field(reply, ',', 5)));
  const auto low =
      close == std::string::npos ? std::nullopt : Digits(WithoutBlanks(sixth.substr(0, close)));
  if (!high || !low || *high > 255 || *low > 255) throw Exception("Ungültige Antwort auf PASV"_ansi);
  return static_cast<int>(*high * 256 + *low);
}

std::string PassiveAddressText(const std::string& reply) {
  // The first field ends in h1 after the text before the tuple.
  const std::string first = Field(reply, ',', 1);
  std::size_t start = first.size();
  while (start > 0 && IsDigit(first[start - 1])) --start;
  std::string address = first.substr(start);
  const auto h1 = Digits(address);
  if (!h1 || *h1 > 255) return {};
  for (int n = 2; n <= 4; ++n) {
    const auto part = Digits(WithoutBlanks(Field(reply, ',', n)));
    if (!part || *part > 255) return {};
    address += "." + std::to_string(*part);
  }
  return address;
}

int ExtendedPassivePort(const std::string& reply) {
  // RFC 2428: "(<d><d><d><port><d>)", the delimiter d any printable character.
  const std::size_t open = reply.find('(');
  const std::size_t close = reply.find(')', open == std::string::npos ? 0 : open);
  if (open != std::string::npos && close != std::string::npos && close - open >= 6) {
    const std::string inner = reply.substr(open + 1, close - open - 1);
    const char d = inner[0];
    if (d >= 33 && d <= 126 && inner[1] == d && inner[2] == d && inner.back() == d) {
      const auto port = Digits(inner.substr(3, inner.size() - 4));
      if (port && *port >= 1 && *port <= 65535) return static_cast<int>(*port);
    }
  }
  throw Exception("Ungültige Antwort auf EPSV"_ansi);
}

}  // namespace ftp

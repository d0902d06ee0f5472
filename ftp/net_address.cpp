#include "ftp/net_address.h"

#include <cstring>

#include "ftp/ftp_errors.h"

namespace ftp {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

sockaddr_in& V4(sockaddr_storage& s) { return reinterpret_cast<sockaddr_in&>(s); }
const sockaddr_in& V4(const sockaddr_storage& s) { return reinterpret_cast<const sockaddr_in&>(s); }
sockaddr_in6& V6(sockaddr_storage& s) { return reinterpret_cast<sockaddr_in6&>(s); }
const sockaddr_in6& V6(const sockaddr_storage& s) { return reinterpret_cast<const sockaddr_in6&>(s); }

// The IPv4 address behind an IPv4 or IPv4-mapped IPv6 address.
std::optional<in_addr_t> AsV4(const sockaddr_storage& s) {
  if (s.ss_family == AF_INET) return V4(s).sin_addr.s_addr;
  if (s.ss_family == AF_INET6 && IN6_IS_ADDR_V4MAPPED(&V6(s).sin6_addr)) {
    in_addr_t address;
    std::memcpy(&address, &V6(s).sin6_addr.s6_addr[12], sizeof address);
    return address;
  }
  return std::nullopt;
}

int ParsePort(const std::string& text) {
  if (text.empty() || text.size() > 5) throw ESockError("Ungültige Portnummer"_ansi);
  int port = 0;
  for (const char c : text) {
    if (!IsDigit(c)) throw ESockError("Ungültige Portnummer"_ansi);
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) throw ESockError("Ungültige Portnummer"_ansi);
  return port;
}

}  // namespace

socklen_t TNetAddress::Length() const {
  return Family() == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
}

std::uint16_t TNetAddress::Port() const {
  if (Family() == AF_INET6) return ntohs(V6(storage).sin6_port);
  return ntohs(V4(storage).sin_port);
}

void TNetAddress::SetPort(std::uint16_t port) {
  if (Family() == AF_INET6)
    V6(storage).sin6_port = htons(port);
  else
    V4(storage).sin_port = htons(port);
}

std::string TNetAddress::Text() const {
  char text[INET6_ADDRSTRLEN] = {};
  if (Family() == AF_INET6)
    inet_ntop(AF_INET6, &V6(storage).sin6_addr, text, sizeof text);
  else if (Family() == AF_INET)
    inet_ntop(AF_INET, &V4(storage).sin_addr, text, sizeof text);
  return text;
}

bool TNetAddress::SameHost(const TNetAddress& other) const {
  const auto mine = AsV4(storage), theirs = AsV4(other.storage);
  if (mine || theirs) return mine == theirs;
  return Family() == AF_INET6 && other.Family() == AF_INET6 &&
         std::memcmp(&V6(storage).sin6_addr, &V6(other.storage).sin6_addr, sizeof(in6_addr)) == 0;
}

std::optional<in_addr_t> DottedAddress(const std::string& text) {
  std::uint32_t address = 0;
  std::size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && (at >= text.size() || text[at++] != '.')) return std::nullopt;
    const std::size_t start = at;
    unsigned value = 0;
    while (at < text.size() && at - start < 3 && IsDigit(text[at]))
      value = value * 10 + static_cast<unsigned>(text[at++] - '0');
    if (at == start || value > 255) return std::nullopt;
    address = address << 8 | value;
  }
  if (at != text.size()) return std::nullopt;
  return htonl(address);
}

std::optional<TNetAddress> LiteralAddress(const std::string& text) {
  TNetAddress address;
  if (const auto dotted = DottedAddress(text)) {
    V4(address.storage).sin_family = AF_INET;
    V4(address.storage).sin_addr.s_addr = *dotted;
    return address;
  }
  std::string bare = text;
  if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
  if (inet_pton(AF_INET6, bare.c_str(), &V6(address.storage).sin6_addr) != 1) return std::nullopt;
  V6(address.storage).sin6_family = AF_INET6;
  return address;
}

THostAndPort SplitHostPort(const std::string& address, int defaultPort) {
  if (address.starts_with('[')) {
    const std::size_t close = address.find(']');
    if (close != std::string::npos && close + 1 < address.size() && address[close + 1] == ':')
      return {address.substr(0, close + 1), ParsePort(address.substr(close + 2))};
    return {address, defaultPort};
  }
  const std::size_t colon = address.find(':');
  // More than one colon: an IPv6 address, which carries a port only in brackets.
  if (colon == std::string::npos || address.find(':', colon + 1) != std::string::npos)
    return {address, defaultPort};
  return {address.substr(0, colon), ParsePort(address.substr(colon + 1))};
}

}  // namespace ftp

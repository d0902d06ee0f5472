#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/sockets.h"

namespace ftp {

// An IPv4 or IPv6 socket address (family AF_UNSPEC while it holds none).
struct TNetAddress {
  sockaddr_storage storage{};

  int Family() const { return storage.ss_family; }
  socklen_t Length() const;
  const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&storage); }
  sockaddr* Raw() { return reinterpret_cast<sockaddr*>(&storage); }
  std::uint16_t Port() const;
  void SetPort(std::uint16_t port);
  // The address without the port: "127.0.0.1", "2001:db8::1"; empty for none.
  std::string Text() const;
  // Whether both name the same host; an IPv4-mapped IPv6 address is the IPv4 address.
  bool SameHost(const TNetAddress& other) const;
};

// The address of `text` when it is a literal one: four decimal numbers from 0
// to 255 joined by dots, or an IPv6 address, with or without brackets;
// nullopt for anything else (a host name).
std::optional<TNetAddress> LiteralAddress(const std::string& text);

// The address (network byte order) of `text` when it is exactly four decimal
// numbers from 0 to 255 joined by dots; nullopt for anything else.
std::optional<in_addr_t> DottedAddress(const std::string& text);

struct THostAndPort {
  std::string host;
  int port;
};

// Splits a server address as a target list writes it: "host", "host:port",
// "2001:db8::1" (a bare IPv6 address carries no port), "[2001:db8::1]" or
// "[2001:db8::1]:port". Without a port, `defaultPort`. Raises ESockError
// "Ungültige Portnummer" for a port that is no number from 1 to 65535.
THostAndPort SplitHostPort(const std::string& address, int defaultPort);

}  // namespace ftp

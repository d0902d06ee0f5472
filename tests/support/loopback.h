#pragma once

#include <cerrno>
#include <cstdint>
#include <system_error>
#include <utility>

#include "platform/sockets.h"
#include "support/socket_wait.h"

namespace test {

// 127.0.0.1 at `port`.
inline sockaddr_in LoopbackAddress(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  return address;
}

// Binds the socket to 127.0.0.1 at a free port; returns the address it got.
inline sockaddr_in BindLoopback(platform::SocketHandle fd) {
  sockaddr_in address = LoopbackAddress(0);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return address;
}

// A loopback port where nothing listens: bound and released again.
inline int ClosedLoopbackPort() {
  const platform::SocketHandle fd = socket(AF_INET, SOCK_STREAM, 0);
  const int port = ntohs(BindLoopback(fd).sin_port);
  platform::CloseSocket(fd);
  return port;
}

// A listening socket on 127.0.0.1 or another IPv4 loopback address (AF_INET6: ::1) at a free port.
inline platform::SocketHandle ListenOnLoopback(std::uint16_t* port, int family = AF_INET, int backlog = 4,
                                               const char* ipv4 = "127.0.0.1") {
  const platform::SocketHandle fd = OpenBlockingSocket(family);
  if (fd == platform::kNoSocket) throw std::system_error(errno, std::generic_category(), "socket");
  sockaddr_storage address{};
  socklen_t length;
  if (family == AF_INET6) {
    auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
    v6.sin6_family = AF_INET6;
    v6.sin6_addr = in6addr_loopback;
    length = sizeof v6;
  } else {
    auto& v4 = reinterpret_cast<sockaddr_in&>(address);
    v4.sin_family = AF_INET;
    inet_pton(AF_INET, ipv4, &v4.sin_addr);
    length = sizeof v4;
  }
  if (platform::SocketCall(::bind(fd, reinterpret_cast<sockaddr*>(&address), length)) != 0 ||
      platform::SocketCall(::listen(fd, backlog)) != 0 ||
      platform::SocketCall(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length)) != 0) {
    platform::CloseSocket(fd);
    throw std::system_error(errno, std::generic_category(), "listen");
  }
  *port = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                   : reinterpret_cast<sockaddr_in&>(address).sin_port);
  return fd;
}

// Owns a socket and closes it when it goes out of scope.
class OwnedSocket {
 public:
  explicit OwnedSocket(platform::SocketHandle socket = platform::kNoSocket) : socket_(socket) {}
  ~OwnedSocket() {
    if (socket_ != platform::kNoSocket) platform::CloseSocket(socket_);
  }
  OwnedSocket(OwnedSocket&& other) noexcept : socket_(other.release()) {}
  OwnedSocket& operator=(OwnedSocket&& other) noexcept {
    std::swap(socket_, other.socket_);
    return *this;
  }

  platform::SocketHandle get() const { return socket_; }
  platform::SocketHandle release() { return std::exchange(socket_, platform::kNoSocket); }

 private:
  platform::SocketHandle socket_;
};

// The two ends of one TCP connection on 127.0.0.1, both blocking.
struct LoopbackPair {
  OwnedSocket connecting;
  OwnedSocket accepted;
};

// Raises std::system_error when an end cannot be made.
inline LoopbackPair ConnectLoopbackPair() {
  std::uint16_t port;
  const OwnedSocket listener(ListenOnLoopback(&port, AF_INET, 1));
  const sockaddr_in address = LoopbackAddress(port);
  LoopbackPair pair{OwnedSocket(OpenBlockingSocket(AF_INET)), OwnedSocket()};
  if (pair.connecting.get() == platform::kNoSocket ||
      platform::SocketCall(::connect(pair.connecting.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address)) != 0)
    throw std::system_error(errno, std::generic_category(), "connect");
  pair.accepted = OwnedSocket(AcceptBlocking(listener.get()));
  if (pair.accepted.get() == platform::kNoSocket) throw std::system_error(errno, std::generic_category(), "accept");
  return pair;
}

}  // namespace test

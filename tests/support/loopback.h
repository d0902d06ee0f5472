#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace test {

// Binds the socket to 127.0.0.1 at a free port; returns the address it got.
inline sockaddr_in BindLoopback(int fd) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  return address;
}

// A loopback port where nothing listens: bound and released again.
inline int ClosedLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const int port = ntohs(BindLoopback(fd).sin_port);
  close(fd);
  return port;
}

}  // namespace test

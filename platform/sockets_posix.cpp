#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>
#if __has_include(<linux/sockios.h>)
#include <linux/sockios.h>
#endif

#include <algorithm>
#include <cerrno>

#include "platform/sockets.h"

namespace platform {

int SocketCall(int result) { return result; }

SocketHandle OpenStreamSocket(int family, int protocol) {
  return ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
}

int CloseSocket(SocketHandle socket) { return ::close(socket); }

int ConnectSocket(SocketHandle socket, const sockaddr* address, socklen_t length) {
  return ::connect(socket, address, length);
}

SocketHandle AcceptSocket(SocketHandle socket, sockaddr* from, socklen_t* length) {
  return ::accept4(socket, from, length, SOCK_NONBLOCK | SOCK_CLOEXEC);
}

ssize_t SendSocket(SocketHandle socket, const char* bytes, std::size_t length) {
  return ::send(socket, bytes, length, MSG_NOSIGNAL);
}

ssize_t ReceiveSocket(SocketHandle socket, char* into, std::size_t size, bool peek) {
  return ::recv(socket, into, size, peek ? MSG_PEEK : 0);
}

int PollSocket(SocketHandle socket, short events, int timeoutMs) {
  pollfd ready{socket, events, 0};
  int result;
  while ((result = ::poll(&ready, 1, timeoutMs)) < 0 && errno == EINTR) {
  }
  return result;
}

std::optional<std::int64_t> UnsentBytes(SocketHandle socket) {
#ifdef SIOCOUTQ
  int unsent = 0;
  if (::ioctl(socket, SIOCOUTQ, &unsent) == 0) return unsent;
#endif
  return std::nullopt;
}

SocketLayer DescribeSocketLayer() {
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  return {"POSIX-Sockets (IPv4, IPv6, TCP)", static_cast<long>(std::min<rlim_t>(files.rlim_cur, 65535))};
}

}  // namespace platform

#pragma once

// The system's socket headers, and the few socket calls whose form differs
// between POSIX and Windows. A call that fails returns -1 (kNoSocket for a
// new socket) and leaves its reason in errno, where the callers look for it on
// both systems: on Windows errno then holds the Windows Sockets number, except
// for would-block, in-progress and interrupted, which keep their POSIX names.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <sys/types.h>
// The type of an IPv4 address in network order, as POSIX names it.
using in_addr_t = ULONG;
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>
#endif

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/socket_handle.h"

namespace platform {

// Returns `result`; on Windows a failure's reason moves into errno first.
// For the socket calls that are alike on both systems (bind, listen,
// setsockopt, getsockname, ...).
int SocketCall(int result);

// A non-blocking TCP socket that started programs do not inherit.
SocketHandle OpenStreamSocket(int family, int protocol);
int CloseSocket(SocketHandle socket);
// connect(); one that goes on in the background fails with EINPROGRESS.
int ConnectSocket(SocketHandle socket, const sockaddr* address, socklen_t length);
// accept(), the new socket non-blocking and not inherited.
SocketHandle AcceptSocket(SocketHandle socket, sockaddr* from, socklen_t* length);
// send() that never raises SIGPIPE; recv() (`peek`: MSG_PEEK).
ssize_t SendSocket(SocketHandle socket, const char* bytes, std::size_t length);
ssize_t ReceiveSocket(SocketHandle socket, char* into, std::size_t size, bool peek);
// poll() for one socket, repeated when a signal interrupts it.
int PollSocket(SocketHandle socket, short events, int timeoutMs);
// setsockopt() for a value of any type.
template <typename T>
int SetSocketOption(SocketHandle socket, int level, int name, const T& value) {
  return SocketCall(::setsockopt(socket, level, name, reinterpret_cast<const char*>(&value), sizeof value));
}

// The bytes sent on `socket` that the peer has not taken (acknowledged) yet;
// nullopt where the system does not tell.
std::optional<std::int64_t> UnsentBytes(SocketHandle socket);

// What the status log says about the socket layer: its name and how many
// sockets a process may hold.
struct SocketLayer {
  std::string description;
  long maxSockets;
};
SocketLayer DescribeSocketLayer();

}  // namespace platform

#include <mswsock.h>

#include <algorithm>
#include <cerrno>

#include "platform/sockets.h"
#include "platform/winsock_startup.h"

namespace platform {
namespace {

// SIO_TCP_INFO and its answer (version 0), which MinGW's headers lack.
constexpr DWORD kTcpInfoControl = 0xD8000027;
struct TcpInfo0 {
  int state;
  ULONG mss;
  ULONG64 connectionTimeMs;
  BOOLEAN timestampsEnabled;
  ULONG rttUs;
  ULONG minRttUs;
  ULONG bytesInFlight;
  ULONG cwnd;
  ULONG sndWnd;
  ULONG rcvWnd;
  ULONG rcvBuf;
  ULONG64 bytesOut;
  ULONG64 bytesIn;
  ULONG bytesReordered;
  ULONG bytesRetrans;
  ULONG fastRetrans;
  ULONG dupAcksIn;
  ULONG timeoutEpisodes;
  UCHAR synRetrans;
};

// Moves the reason of the socket call that just failed into errno.
void KeepReason() {
  const int error = WSAGetLastError();
  switch (error) {
    case WSAEWOULDBLOCK: errno = EWOULDBLOCK; break;
    case WSAEINPROGRESS: errno = EINPROGRESS; break;
    case WSAEINTR: errno = EINTR; break;
    default: errno = error; break;
  }
}

int Checked(int result) {
  if (result == SOCKET_ERROR) KeepReason();
  return result;
}

}  // namespace

int SocketCall(int result) { return Checked(result); }

SocketHandle OpenStreamSocket(int family, int protocol) {
  StartWinsock();
  const SOCKET made = WSASocketW(family, SOCK_STREAM, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (made == INVALID_SOCKET) {
    KeepReason();
    return kNoSocket;
  }
  u_long nonBlocking = 1;
  ioctlsocket(made, FIONBIO, &nonBlocking);
  return made;
}

int CloseSocket(SocketHandle socket) { return Checked(::closesocket(socket)); }

int ConnectSocket(SocketHandle socket, const sockaddr* address, socklen_t length) {
  if (::connect(socket, address, length) == 0) return 0;
  KeepReason();
  // Windows says "would block" where POSIX says the connect is under way.
  if (errno == EWOULDBLOCK) errno = EINPROGRESS;
  return -1;
}

SocketHandle AcceptSocket(SocketHandle socket, sockaddr* from, socklen_t* length) {
  const SOCKET accepted = ::accept(socket, from, length);
  if (accepted == INVALID_SOCKET) {
    KeepReason();
    return kNoSocket;
  }
  // An accepted socket inherits the listener's event selection; it starts afresh.
  WSAAsyncSelect(accepted, nullptr, 0, 0);
  SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
  u_long nonBlocking = 1;
  ioctlsocket(accepted, FIONBIO, &nonBlocking);
  return accepted;
}

ssize_t SendSocket(SocketHandle socket, const char* bytes, std::size_t length) {
  return Checked(::send(socket, bytes, static_cast<int>(std::min<std::size_t>(length, 1 << 30)), 0));
}

ssize_t ReceiveSocket(SocketHandle socket, char* into, std::size_t size, bool peek) {
  return Checked(::recv(socket, into, static_cast<int>(std::min<std::size_t>(size, 1 << 30)), peek ? MSG_PEEK : 0));
}

int PollSocket(SocketHandle socket, short events, int timeoutMs) {
  WSAPOLLFD ready{socket, events, 0};
  return Checked(WSAPoll(&ready, 1, timeoutMs));
}

// Windows 10 1703 and later tell the bytes on the wire not yet acknowledged;
// older systems (and wine) do not, and the caller goes without.
std::optional<std::int64_t> UnsentBytes(SocketHandle socket) {
  DWORD version = 0;
  TcpInfo0 info{};
  DWORD length = 0;
  if (WSAIoctl(socket, kTcpInfoControl, &version, sizeof version, &info, sizeof info, &length, nullptr, nullptr) != 0)
    return std::nullopt;
  return info.bytesInFlight;
}

SocketLayer DescribeSocketLayer() {
  // Windows sets no per-process socket limit; the count is the port range's.
  return {"Windows-Sockets 2.2 (IPv4, IPv6, TCP)", 65535};
}

}  // namespace platform

#include <system_error>

#include "platform/winsock_startup.h"
#include "support/loopback.h"
#include "support/socket_wait.h"

#include "platform/sockets.h"

namespace test {

// WSAPoll watches sockets only, so the flag is a loopback connection whose
// one end becomes readable when the other sends a byte.
StopSignal::StopSignal() {
  LoopbackPair pair = ConnectLoopbackPair();
  writable_ = pair.connecting.release();
  readable_ = pair.accepted.release();
}

StopSignal::~StopSignal() {
  platform::CloseSocket(readable_);
  platform::CloseSocket(writable_);
}

void StopSignal::Raise() { ::send(writable_, "!", 1, 0); }

int WaitForSockets(pollfd* fds, std::size_t count, int timeoutMs) {
  return platform::SocketCall(WSAPoll(fds, static_cast<ULONG>(count), timeoutMs));
}

platform::SocketHandle OpenBlockingSocket(int family) {
  platform::StartWinsock();
  const SOCKET made = WSASocketW(family, SOCK_STREAM, 0, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (made == INVALID_SOCKET) platform::SocketCall(SOCKET_ERROR);
  return made;
}

platform::SocketHandle AcceptBlocking(platform::SocketHandle listener) {
  const SOCKET accepted = ::accept(listener, nullptr, nullptr);
  if (accepted == INVALID_SOCKET) {
    platform::SocketCall(SOCKET_ERROR);
    return platform::kNoSocket;
  }
  SetHandleInformation(reinterpret_cast<HANDLE>(accepted), HANDLE_FLAG_INHERIT, 0);
  return accepted;
}

void ShutdownSending(platform::SocketHandle socket) { ::shutdown(socket, SD_SEND); }

void SetNonBlocking(platform::SocketHandle socket, bool on) {
  u_long nonBlocking = on ? 1 : 0;
  ::ioctlsocket(socket, FIONBIO, &nonBlocking);
}

void SetReceiveBound(platform::SocketHandle socket, int boundMs) {
  platform::SetSocketOption(socket, SOL_SOCKET, SO_RCVTIMEO, static_cast<DWORD>(boundMs));
}

}  // namespace test

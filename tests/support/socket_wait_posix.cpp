#include <fcntl.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "support/socket_wait.h"

#include "platform/sockets.h"

namespace test {

StopSignal::StopSignal() { readable_ = writable_ = ::eventfd(0, EFD_CLOEXEC); }

StopSignal::~StopSignal() { ::close(readable_); }

void StopSignal::Raise() {
  const std::uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(writable_, &one, sizeof one);
}

int WaitForSockets(pollfd* fds, std::size_t count, int timeoutMs) {
  int ready;
  while ((ready = ::poll(fds, count, timeoutMs)) < 0 && errno == EINTR) {
  }
  return ready;
}

platform::SocketHandle OpenBlockingSocket(int family) { return ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0); }

platform::SocketHandle AcceptBlocking(platform::SocketHandle listener) {
  return ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
}

void ShutdownSending(platform::SocketHandle socket) { ::shutdown(socket, SHUT_WR); }

void SetNonBlocking(platform::SocketHandle socket, bool on) { ::fcntl(socket, F_SETFL, on ? O_NONBLOCK : 0); }

void SetReceiveBound(platform::SocketHandle socket, int boundMs) {
  const timeval bound{boundMs / 1000, boundMs % 1000 * 1000};
  ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
}

}  // namespace test

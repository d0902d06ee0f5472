#pragma once

#include <cstddef>

#include "platform/socket_handle.h"

// Declared only, so that the headers of the test servers stay free of the
// system's socket headers (Windows' would rename MessageBox and the like).
struct pollfd;

namespace test {

// The few socket calls of the test servers whose form differs between the
// systems. Their sockets block; the servers wait with WaitForSockets first.

// A flag that server threads wait on beside their sockets: its Handle()
// becomes readable once Raise() is called, and stays so.
class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  void Raise();
  platform::SocketHandle Handle() const { return readable_; }

 private:
  platform::SocketHandle readable_ = platform::kNoSocket;
  platform::SocketHandle writable_ = platform::kNoSocket;
};

// poll() over sockets and stop signals, repeated when a signal interrupts it.
int WaitForSockets(pollfd* fds, std::size_t count, int timeoutMs);

// A blocking TCP socket that started programs do not inherit.
platform::SocketHandle OpenBlockingSocket(int family);
// accept() of the same kind; kNoSocket on failure, the reason in errno.
platform::SocketHandle AcceptBlocking(platform::SocketHandle listener);
// Ends the sending direction; the peer reads the end of the stream.
void ShutdownSending(platform::SocketHandle socket);
void SetNonBlocking(platform::SocketHandle socket, bool on);
// The longest a blocking recv() waits before it fails.
void SetReceiveBound(platform::SocketHandle socket, int boundMs);

}  // namespace test

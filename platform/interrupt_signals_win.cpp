// Winsock's header must come before windows.h.
#include "platform/sockets.h"

#include <windows.h>

#include <atomic>
#include <csignal>
#include <system_error>

#include "platform/interrupt_signals.h"

namespace platform {
namespace {

// The POSIX number of a hang-up, which Windows' C runtime does not name.
constexpr int kHangUp = 1;
// How long a closing console lets the run end its work; Windows ends the
// process itself some seconds after the close.
constexpr DWORD kCloseGrace = 4500;

std::atomic<int> received{0};
SocketHandle wakeRead = kNoSocket;
SocketHandle wakeWrite = kNoSocket;
HANDLE ended = nullptr;  // set when the InterruptSignals goes

int SignalOf(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT: return SIGINT;
    case CTRL_BREAK_EVENT: return SIGBREAK;
    default: return kHangUp;  // the console closed, the user logged off, the system shuts down
  }
}

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI NoteEvent(DWORD event) {
  int none = 0;
  received.compare_exchange_strong(none, SignalOf(event));
  const char byte = 1;
  ::send(wakeWrite, &byte, 1, 0);
  // Returning from a close ends the process at once: wait for the run to finish.
  if (SignalOf(event) == kHangUp) WaitForSingleObject(ended, kCloseGrace);
  return TRUE;
}

[[noreturn]] void RaiseSocketError(const char* what) {
  throw std::system_error(WSAGetLastError(), std::system_category(), what);
}

// A connected pair of loopback sockets: Windows has no pipe the event loop can watch.
void ConnectPair() {
  const SocketHandle listener = OpenStreamSocket(AF_INET, IPPROTO_TCP);
  if (listener == kNoSocket) RaiseSocketError("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof address;
  u_long blocking = 0;
  ioctlsocket(listener, FIONBIO, &blocking);
  const bool listening = ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) == 0 &&
                         ::listen(listener, 1) == 0 &&
                         ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  wakeWrite = listening ? ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : kNoSocket;
  const bool connected =
      wakeWrite != kNoSocket && ::connect(wakeWrite, reinterpret_cast<sockaddr*>(&address), length) == 0;
  wakeRead = connected ? ::accept(listener, nullptr, nullptr) : kNoSocket;
  closesocket(listener);
  if (wakeRead == INVALID_SOCKET) {
    if (wakeWrite != kNoSocket) closesocket(wakeWrite);
    wakeRead = wakeWrite = kNoSocket;
    RaiseSocketError("loopback pair");
  }
  u_long nonBlocking = 1;
  ioctlsocket(wakeRead, FIONBIO, &nonBlocking);
}

}  // namespace

InterruptSignals::InterruptSignals() {
  ConnectPair();
  received = 0;
  ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(NoteEvent, TRUE);
}

InterruptSignals::~InterruptSignals() {
  SetEvent(ended);
  SetConsoleCtrlHandler(NoteEvent, FALSE);
  closesocket(wakeRead);
  closesocket(wakeWrite);
  wakeRead = wakeWrite = kNoSocket;
  CloseHandle(ended);
  ended = nullptr;
  received = 0;
}

SocketHandle InterruptSignals::Fd() const { return wakeRead; }

void InterruptSignals::Drain() const {
  char bytes[64];
  while (::recv(wakeRead, bytes, sizeof bytes, 0) > 0) {
  }
}

int InterruptedBy() { return received; }

void RaiseIfInterrupted() {
  if (const int signal = received) throw EInterrupted(signal);
}

}  // namespace platform

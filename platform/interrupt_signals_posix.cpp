#include "platform/interrupt_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <system_error>

namespace platform {
namespace {

constexpr std::array kSignals{SIGTERM, SIGINT, SIGHUP};

volatile std::sig_atomic_t received = 0;
int wakeRead = -1;
int wakeWrite = -1;
std::array<struct sigaction, kSignals.size()> before{};

extern "C" void NoteSignal(int signal) {
  const int saved = errno;
  if (received == 0) received = signal;
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(wakeWrite, &byte, 1);
  errno = saved;
}

}  // namespace

InterruptSignals::InterruptSignals() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) throw std::system_error(errno, std::generic_category(), "pipe2");
  wakeRead = ends[0];
  wakeWrite = ends[1];
  received = 0;
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  // Waits in the socket layer see EINTR and go on; nothing is cut short.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &action, &before[i]);
}

InterruptSignals::~InterruptSignals() {
  for (std::size_t i = 0; i < kSignals.size(); ++i) sigaction(kSignals[i], &before[i], nullptr);
  ::close(wakeRead);
  ::close(wakeWrite);
  wakeRead = wakeWrite = -1;
  received = 0;
}

SocketHandle InterruptSignals::Fd() const { return wakeRead; }

void InterruptSignals::Drain() const {
  char bytes[64];
  while (::read(wakeRead, bytes, sizeof bytes) > 0) {
  }
}

int InterruptedBy() { return received; }

void RaiseIfInterrupted() {
  if (const int signal = received) throw EInterrupted(signal);
}

}  // namespace platform

#pragma once

#include <stdexcept>
#include <string>

#include "platform/socket_handle.h"

namespace platform {

// Raised by work that stops because the run was interrupted.
class EInterrupted : public std::runtime_error {
 public:
  explicit EInterrupted(int signal)
      : std::runtime_error("interrupted by signal " + std::to_string(signal)), signal_(signal) {}
  int Signal() const { return signal_; }

 private:
  int signal_;
};

// While it lives, SIGTERM, SIGINT and SIGHUP no longer end the process: the
// handler only notes the signal and wakes whoever watches Fd(), so that the
// run ends its work cleanly. The dispositions before it come back after it.
// One at a time per process. On Windows the console's Ctrl-C, Ctrl-Break and
// close come the same way, as SIGINT, SIGBREAK and SIGHUP (1).
class InterruptSignals {
 public:
  InterruptSignals();
  ~InterruptSignals();
  InterruptSignals(const InterruptSignals&) = delete;
  InterruptSignals& operator=(const InterruptSignals&) = delete;

  // Readable once a signal came (a socket on Windows, for the event loop);
  // Drain() empties it again.
  SocketHandle Fd() const;
  void Drain() const;
};

// The first of those signals that came while an InterruptSignals lives; 0: none.
int InterruptedBy();
// Raises EInterrupted once a signal came.
void RaiseIfInterrupted();

}  // namespace platform

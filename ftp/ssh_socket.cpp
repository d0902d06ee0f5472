#include "ftp/ssh_socket.h"

#include "ftp/armed_timer.h"

namespace ftp {

void TSshSocket::Connect() {
  TSockSession::Connect();
  loop_.UnwatchSocket(SocketHandle());
}

SshStatus TSshSocket::Drive(const std::function<SshStatus()>& step, const std::string& what) {
  const ArmedTimer timer(*this);
  for (;;) {
    const SshStatus status = step();
    if (status != SshStatus::WantRead && status != SshStatus::WantWrite) return status;
    Await(status, Pumping::EveryPass, what);
  }
}

void TSshSocket::Await(SshStatus status, Pumping pumping, const std::string& what) {
  if (!TimedOut && !Cancelled)
    WaitPass(status == SshStatus::WantWrite ? WaitOn::Writable : WaitOn::Readable, pumping);
  if (!TimedOut && !Cancelled) return;
  // The time-out cancels too, so it is told first.
  const bool timedOut = TimedOut;
  Cancelled = false;
  throw EAbortError("SSH: the " + what + (timedOut ? " timed out" : " was cancelled"));
}

}  // namespace ftp
